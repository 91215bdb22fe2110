#pragma once
// The system's stock fixed-pitch font (ANSI_FIXED_FONT), for fields whose
// texts must line up in columns: the merge dialog's model list and the
// texture masks.

class QFont;

const QFont& AnsiFixedFont();

#pragma once
// What the benchmarks that drive the whole program share: its settings in a
// folder of the run's own, the events let through, and the open archive with
// its list found among the program's documents.

#include <filesystem>

#include <QApplication>
#include <QCoreApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QString>

#include "app/korvane_app.h"
#include "archive/dat_doc.h"
#include "platform/qt/doc_template.h"
#include "ui/dat_view.h"

namespace kvbench {

inline void Settle() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents();
        QApplication::processEvents();
    }
}

// The program's settings and shell socket go to `dir`; the socket is named
// `shellName` and the process number, so that runs never meet.
inline void PrivateSettings(const std::filesystem::path& dir, const QString& shellName) {
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((dir / "config").string()));
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(dir.string()));
    qputenv("XDG_CACHE_HOME", QByteArray::fromStdString((dir / "cache").string()));
    QStandardPaths::setTestModeEnabled(true);
    for (auto format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope, QString::fromStdString((dir / "settings").string()));
    CWinAppEx::SetShellOpenNameOverride(QStringLiteral("%1-%2").arg(shellName).arg(QCoreApplication::applicationPid()));
}

inline CDATDoc* FirstArchive(CKorvaneApp& app) {
    for (const auto& t : app.GetTemplates())
        for (CDocument* d : t->GetDocuments())
            if (auto* doc = dynamic_cast<CDATDoc*>(d)) return doc;
    return nullptr;
}

inline CDATView* ListOf(CDATDoc& doc) {
    for (CView* v : doc.GetViews())
        if (auto* list = dynamic_cast<CDATView*>(v)) return list;
    return nullptr;
}

}  // namespace kvbench

#pragma once
// How GoogleTest shows Qt's strings when a check fails: as quoted text, not
// as one "2-byte object" per character. Every test of the Qt interface sees
// these through ui_fixture.h, so each such value prints the same way in all
// of them.

#include <cstdio>
#include <ostream>
#include <string>

#include <QByteArray>
#include <QChar>
#include <QString>
#include <QStringList>

namespace kvtest::printers {

// Text in double quotes, UTF-8; quotes, backslashes and control characters
// escaped as in C, so a tab, a lone "\r" or a trailing space can be seen.
inline void PrintQuoted(const QString& s, std::ostream* os) {
    std::string out = "\"";
    for (char32_t u : s.toUcs4()) {
        switch (u) {
        case U'"': out += "\\\""; continue;
        case U'\\': out += "\\\\"; continue;
        case U'\n': out += "\\n"; continue;
        case U'\r': out += "\\r"; continue;
        case U'\t': out += "\\t"; continue;
        default: break;
        }
        if (u < 0x20 || u == 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", static_cast<unsigned>(u));
            out += buf;
        } else {
            out += QString::fromUcs4(&u, 1).toStdString();
        }
    }
    *os << out << '"';
}

}  // namespace kvtest::printers

// Found by argument-dependent lookup: Qt's types live in the global namespace.
inline void PrintTo(const QString& s, std::ostream* os) { kvtest::printers::PrintQuoted(s, os); }

inline void PrintTo(QChar c, std::ostream* os) {
    *os << "QChar ";
    kvtest::printers::PrintQuoted(QString(c), os);
    char buf[16];
    std::snprintf(buf, sizeof buf, " (U+%04X)", static_cast<unsigned>(c.unicode()));
    *os << buf;
}

inline void PrintTo(const QStringList& list, std::ostream* os) {
    *os << '{';
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (i) *os << ", ";
        kvtest::printers::PrintQuoted(list[i], os);
    }
    *os << '}';
}

// Bytes as a C string literal: printable ASCII as itself, the rest as "\xNN".
inline void PrintTo(const QByteArray& bytes, std::ostream* os) {
    std::string out = "\"";
    for (char ch : bytes) {
        unsigned char b = static_cast<unsigned char>(ch);
        if (b == '"' || b == '\\') {
            out += '\\';
            out += static_cast<char>(b);
        } else if (b >= 0x20 && b < 0x7F) {
            out += static_cast<char>(b);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", b);
            out += buf;
        }
    }
    *os << out << "\" (" << bytes.size() << " bytes)";
}

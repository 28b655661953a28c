// Small text helpers the debugger's pages share: hex numbers as the window
// shows them (upper case, fixed width) and as the developer types them, and
// the fixed-width font of the listings.
#pragma once

#include <QFont>
#include <QFontDatabase>
#include <QString>
#include <cstdint>
#include <optional>

inline QString Hex(uint32_t value, int digits) {
    return QString("%1").arg(value, digits, 16, QChar('0')).toUpper();
}

// A hex number typed by the developer: "1A2B", "0x1a2b", "#1A2B", "$1A2B" or
// "1A2Bh"; none when it is not one or is above `max`.
inline std::optional<uint32_t> ParseHex(QString text, uint32_t max) {
    text = text.trimmed();
    if (text.startsWith("0x", Qt::CaseInsensitive)) text.remove(0, 2);
    else if (text.startsWith('#') || text.startsWith('$')) text.remove(0, 1);
    else if (text.endsWith('h', Qt::CaseInsensitive)) text.chop(1);
    if (text.isEmpty() || text.size() > 8) return std::nullopt;
    bool ok = false;
    const uint32_t value = text.toUInt(&ok, 16);
    if (!ok || value > max) return std::nullopt;
    return value;
}

inline QFont MonospaceFont() { return QFontDatabase::systemFont(QFontDatabase::FixedFont); }

#pragma once

// Colours of the component library are given as Windows colour values: blue x 65536 +
// green x 256 + red (0xBBGGRR).

#include <QColor>

inline QColor KRTColor(quint32 bgr)
{
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

inline quint32 KRTColorValue(const QColor &c)
{
    return quint32(c.red()) | (quint32(c.green()) << 8) | (quint32(c.blue()) << 16);
}

// Named values used as defaults.
inline constexpr quint32 clKRTNavy = 0x800000;
inline constexpr quint32 clKRTBlue = 0xFF0000;
inline constexpr quint32 clKRTSilver = 0xC0C0C0;
inline constexpr quint32 clKRTWhite = 0xFFFFFF;
inline constexpr quint32 clKRTBlack = 0x000000;
inline constexpr quint32 clKRTRed = 0x0000FF;
inline constexpr quint32 clKRTMoneyGreen = 0xC0DCC0;

#pragma once

#include <QRawFont>
#include <QString>
#include <array>

// Glyphs of the view's font for the characters it draws: Latin-1 as the text
// field shows it (non-printables as '.') and anything else asked for. Painting
// then places glyphs at their cells directly, with no text shaping per row.
class GlyphTable {
public:
    void setFont(const QFont& font);
    const QRawFont& rawFont() const { return rawFont_; }
    // The glyph the text field shows for a byte.
    quint32 byteGlyph(uint8_t byte) const { return byteGlyphs_[byte]; }
    quint32 glyph(QChar character) const;

private:
    QRawFont rawFont_;
    std::array<quint32, 256> byteGlyphs_{};
    std::array<quint32, 256> latinGlyphs_{};
};

#include "hexview/GlyphTable.h"

void GlyphTable::setFont(const QFont& font)
{
    rawFont_ = QRawFont::fromFont(font);
    QString latin(256, u' ');
    // Control characters have no glyph of their own; they are never drawn.
    for (int value = 0x20; value < 256; ++value)
        latin[value] = QChar(static_cast<char16_t>(value));
    const QList<quint32> glyphs = rawFont_.glyphIndexesForString(latin);
    for (int value = 0; value < 256; ++value)
        latinGlyphs_[value] = value < glyphs.size() ? glyphs[value] : 0;
    // Bytes that are not printable, or that the font cannot show, appear as '.'.
    for (int value = 0; value < 256; ++value) {
        const bool printable = QChar(static_cast<char16_t>(value)).isPrint() && latinGlyphs_[value] != 0;
        byteGlyphs_[value] = printable ? latinGlyphs_[value] : latinGlyphs_[u'.'];
    }
}

quint32 GlyphTable::glyph(QChar character) const
{
    if (character.unicode() < 256)
        return latinGlyphs_[character.unicode()];
    const QList<quint32> glyphs = rawFont_.glyphIndexesForString(QString(character));
    return glyphs.isEmpty() ? 0 : glyphs.front();
}

#include "engine/display/number_text.h"

#include <QGlyphRun>

namespace engine {

bool NumberText::prepare(const QFont& font) {
    if (ready_ && font == font_) return usable_;
    font_ = font;
    ready_ = true;
    raw_ = QRawFont::fromFont(font);
    usable_ = raw_.isValid();
    if (!usable_) return false;
    QString ascii;
    for (char16_t c = 0x20; c < 0x7F; ++c) ascii += QChar(c);
    const QList<quint32> glyphs = raw_.glyphIndexesForString(ascii);
    const QList<QPointF> advances = raw_.advancesForGlyphIndexes(glyphs);
    if (glyphs.size() != ascii.size() || advances.size() != glyphs.size()) return usable_ = false;
    glyph_.fill(0);
    for (qsizetype i = 0; i < glyphs.size(); ++i) {
        glyph_[static_cast<std::size_t>(0x20 + i)] = glyphs[i];
        advance_[static_cast<std::size_t>(0x20 + i)] = advances[i].x();
    }
    return true;
}

void NumberText::draw(QPainter& p, const QRectF& box, Qt::Alignment align, const QString& text) {
    bool plain = prepare(p.font());
    qreal width = 0;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (!plain || u < 0x20 || u >= 0x7F || (glyph_[u] == 0 && u != 0x20)) {
            plain = false;
            break;
        }
        width += advance_[u];
    }
    if (!plain) {
        p.drawText(box, static_cast<int>(align), text);
        return;
    }
    qreal x = box.left();
    if (align & Qt::AlignRight) x = box.right() - width;
    if (align & Qt::AlignHCenter) x = box.left() + (box.width() - width) / 2;
    const qreal ascent = raw_.ascent(), descent = raw_.descent();
    qreal y = box.top() + ascent;  // top
    if (align & Qt::AlignVCenter) y = box.top() + (box.height() - ascent - descent) / 2 + ascent;
    if (align & Qt::AlignBottom) y = box.bottom() - descent;
    indexes_.resize(text.size());
    positions_.resize(text.size());
    qreal at = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        indexes_[i] = glyph_[u];
        positions_[i] = QPointF(at, 0);
        at += advance_[u];
    }
    QGlyphRun run;
    run.setRawFont(raw_);
    run.setGlyphIndexes(indexes_);
    run.setPositions(positions_);
    p.drawGlyphRun(QPointF(x, y), run);
}

}  // namespace engine

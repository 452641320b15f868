#include "engine/display/number_text.h"

#include <QGlyphRun>

namespace engine {

bool NumberText::prepare(const QFont& font) {
    if (ready_ && font == font_) return usable_;
    font_ = font;
    ready_ = true;
    for (Run& run : runs_) run = Run{};  // laid out in the font before
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
    const bool plain = prepare(p.font());
    const Run* run = plain ? laidOut(text) : nullptr;
    if (!run) {
        p.drawText(box, static_cast<int>(align), text);
        return;
    }
    qreal x = box.left();
    if (align & Qt::AlignRight) x = box.right() - run->width;
    if (align & Qt::AlignHCenter) x = box.left() + (box.width() - run->width) / 2;
    const qreal ascent = raw_.ascent(), descent = raw_.descent();
    qreal y = box.top() + ascent;  // top
    if (align & Qt::AlignVCenter) y = box.top() + (box.height() - ascent - descent) / 2 + ascent;
    if (align & Qt::AlignBottom) y = box.bottom() - descent;
    p.drawGlyphRun(QPointF(x, y), run->glyphs);
}

const NumberText::Run* NumberText::laidOut(const QString& text) {
    for (const Run& run : runs_)
        if (run.text == text) return &run;
    qreal width = 0;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u >= 0x7F || (glyph_[u] == 0 && u != 0x20)) return nullptr;
        width += advance_[u];
    }
    QList<quint32> indexes(text.size());
    QList<QPointF> positions(text.size());
    qreal at = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        indexes[i] = glyph_[u];
        positions[i] = QPointF(at, 0);
        at += advance_[u];
    }
    // The oldest laid out gives way: a text shown last frame is one of the newest.
    Run& run = runs_[next_];
    next_ = (next_ + 1) % runs_.size();
    run.text = text;
    run.width = width;
    run.glyphs = QGlyphRun();
    run.glyphs.setRawFont(raw_);
    run.glyphs.setGlyphIndexes(indexes);
    run.glyphs.setPositions(positions);
    return &run;
}

}  // namespace engine

// Short texts that change every display frame (live values and their units) drawn from
// glyphs looked up once per font, instead of shaping the text anew on every paint. Only
// printable ASCII is drawn this way, without kerning; a text with any other character, or a
// font that lacks one, is drawn the ordinary way.
#pragma once

#include <QFont>
#include <QPainter>
#include <QRawFont>
#include <QString>
#include <array>

namespace engine {

class NumberText {
  public:
    // Draws text in box, aligned as asked, with the painter's font and pen.
    void draw(QPainter& p, const QRectF& box, Qt::Alignment align, const QString& text);

  private:
    bool prepare(const QFont& font);
    QFont font_;
    bool ready_ = false, usable_ = false;
    QRawFont raw_;
    std::array<quint32, 128> glyph_{};
    std::array<qreal, 128> advance_{};
    QList<quint32> indexes_;
    QList<QPointF> positions_;
};

}  // namespace engine

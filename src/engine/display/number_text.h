// Short texts that change every display frame (live values and their units) drawn from
// glyphs looked up once per font, instead of shaping the text anew on every paint. Only
// printable ASCII is drawn this way, without kerning; a text with any other character, or a
// font that lacks one, is drawn the ordinary way. The glyph runs of the texts drawn lately are
// kept: a value that has not changed since the last frame is not laid out again.
#pragma once

#include <QFont>
#include <QGlyphRun>
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
    struct Run {
        QString text;
        qreal width = 0;
        QGlyphRun glyphs;
    };
    bool prepare(const QFont& font);
    // The text's run, laid out now unless it is kept; nullptr when it is not plain ASCII.
    const Run* laidOut(const QString& text);
    QFont font_;
    bool ready_ = false, usable_ = false;
    QRawFont raw_;
    std::array<quint32, 128> glyph_{};
    std::array<qreal, 128> advance_{};
    // Enough for a chart's sixteen legend values and a panel's indicators, each as it was
    // and as it is.
    std::array<Run, 32> runs_{};
    std::size_t next_ = 0;
};

}  // namespace engine

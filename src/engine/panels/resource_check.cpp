#include "engine/panels/resource_check.h"

#include "engine/controls/control_kinds.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QXmlStreamReader>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <map>
#include <vector>

namespace engine {

QString ReadResourceFile(const std::string& path, QByteArray& bytes) {
    // Non-blocking, so that a FIFO or a device in the resource's place cannot hang the start.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return QString::fromLocal8Bit(std::strerror(errno));
    struct stat st {};
    QString why;
    if (fstat(fd, &st) != 0)
        why = QString::fromLocal8Bit(std::strerror(errno));
    else if (!S_ISREG(st.st_mode))
        why = "not a regular file";
    else if (st.st_size > kMaxResourceBytes)
        why = QString("%1 bytes, more than a panel resource can be (%2)")
                  .arg(static_cast<qint64>(st.st_size))
                  .arg(kMaxResourceBytes);
    if (why.isEmpty()) {
        bytes.resize(static_cast<qsizetype>(st.st_size));
        qsizetype got = 0;
        while (got < bytes.size()) {
            const ssize_t n =
                ::read(fd, bytes.data() + got, static_cast<size_t>(bytes.size() - got));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            got += n;
        }
        if (got != bytes.size()) why = "cannot be read whole";
    }
    ::close(fd);
    return why;
}

namespace {

struct Value {
    QString type;  // number, double, bool, string, ...
    QString text;
};

struct Widget {
    QString className, name;
    std::map<QString, Value> properties;
};

bool number(const std::map<QString, Value>& props, const QString& name, double& value) {
    auto it = props.find(name);
    if (it == props.end()) return true;
    if (it->second.type != "number" && it->second.type != "double") return false;
    bool ok = false;
    value = it->second.text.trimmed().toDouble(&ok);
    return ok && std::isfinite(value);
}

QString checkWidget(const Widget& w) {
    const QString who = QString("control %1 (%2)").arg(w.name, w.className);
    auto id = w.properties.find("controlId");
    if (id != w.properties.end()) {
        bool ok = false;
        const int value = id->second.text.trimmed().toInt(&ok);
        if (id->second.type != "number" || !ok || value <= 0)
            return QString("%1: its ID must be a whole number above 0 (got <%2>%3</%2>)")
                .arg(who, id->second.type, id->second.text);
    } else if (KindNamed(w.className)) {
        return who + " has no ID";
    }
    auto callback = w.properties.find("callback");
    if (callback != w.properties.end() &&
        (callback->second.type != "string" || callback->second.text.trimmed().isEmpty()))
        return who + ": its callback must name a function";
    if (w.className == "StripChart") {
        double traces = 8, history = 500, low = 0, high = 2.5;
        if (!number(w.properties, "traceCount", traces) || traces != std::floor(traces) ||
            traces < 1 || traces > kMaxChartTraces)
            return QString("%1: traceCount must be 1 to %2").arg(who).arg(kMaxChartTraces);
        if (!number(w.properties, "history", history) || history != std::floor(history) ||
            history < 2 || history > kMaxChartHistory)
            return QString("%1: history must be 2 to %2 points").arg(who).arg(kMaxChartHistory);
        if (traces * history > 8.0 * kMaxChartHistory)
            return QString("%1: traceCount times history must be at most %2 points")
                .arg(who)
                .arg(8.0 * kMaxChartHistory, 0, 'f', 0);
        if (!number(w.properties, "yMinimum", low) || !number(w.properties, "yMaximum", high) ||
            !(low < high))
            return who + ": yMinimum and yMaximum must be finite, the minimum below the maximum";
    }
    if (w.className == "TimerControl") {
        double interval = 1;
        if (!number(w.properties, "interval", interval) || !(interval > 0))
            return who + ": its interval must be a finite number of seconds above 0";
    }
    return {};
}

}  // namespace

QString CheckPanelXml(const QByteArray& xml) {
    QXmlStreamReader reader(xml);
    std::vector<Widget> open;      // the widgets being read, outermost first
    std::vector<int> widgetDepth;  // the element depth of each
    int depth = 0;
    QString property;  // a property of the innermost widget being read
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
            case QXmlStreamReader::StartElement: {
                if (++depth > kMaxResourceDepth)
                    return QString("nested more than %1 levels deep").arg(kMaxResourceDepth);
                const QString tag = reader.name().toString();
                if (tag == "pixmap" || tag == "iconset" || tag == "url" || tag == "image" ||
                    tag == "includehint" || tag == "include")
                    return QString("refers to another file (<%1>), which a panel may not").arg(tag);
                if (tag == "widget") {
                    open.push_back({reader.attributes().value("class").toString(),
                                    reader.attributes().value("name").toString(),
                                    {}});
                    widgetDepth.push_back(depth);
                } else if (tag == "property" && !open.empty() && depth == widgetDepth.back() + 1) {
                    property = reader.attributes().value("name").toString();
                } else if (!property.isEmpty() && depth == widgetDepth.back() + 2) {
                    const QString text =
                        reader.readElementText(QXmlStreamReader::IncludeChildElements);
                    --depth;  // readElementText consumed the end element
                    if (property == "source" ||
                        (tag == "string" && text.contains("url(", Qt::CaseInsensitive)))
                        return QString("property %1 refers to another file, which a panel may not")
                            .arg(property);
                    open.back().properties[property] = {tag, text};
                }
                break;
            }
            case QXmlStreamReader::EndElement: {
                if (!widgetDepth.empty() && depth == widgetDepth.back() + 1 &&
                    reader.name() == QLatin1String("property"))
                    property.clear();
                if (!widgetDepth.empty() && depth == widgetDepth.back()) {
                    const QString fault = checkWidget(open.back());
                    if (!fault.isEmpty()) return fault;
                    open.pop_back();
                    widgetDepth.pop_back();
                }
                --depth;
                break;
            }
            default:
                break;
        }
    }
    if (reader.hasError()) return "not a panel resource: " + reader.errorString();
    return {};
}

}  // namespace engine

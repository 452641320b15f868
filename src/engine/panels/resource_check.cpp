#include "engine/panels/resource_check.h"

#include "engine/controls/control_kinds.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QXmlStreamReader>
#include <cerrno>
#include <cstring>
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

struct Widget {
    QString className, name;
    ResourceProperties properties;
};

QString checkWidget(const Widget& w) {
    const QString who = QString("control %1 (%2)").arg(w.name, w.className);
    const ControlKind* kind = KindNamed(w.className);
    auto id = w.properties.find("controlId");
    if (id != w.properties.end()) {
        bool ok = false;
        const int value = id->second.text.trimmed().toInt(&ok);
        if (id->second.type != "number" || !ok || value <= 0)
            return QString("%1: its ID must be a whole number above 0 (got <%2>%3</%2>)")
                .arg(who, id->second.type, id->second.text);
    } else if (kind && kind->needsId) {
        return who + " has no ID";
    }
    auto callback = w.properties.find("callback");
    if (callback != w.properties.end() &&
        (callback->second.type != "string" || callback->second.text.trimmed().isEmpty()))
        return who + ": its callback must name a function";
    if (kind && kind->check)
        if (const QString fault = kind->check(w.properties); !fault.isEmpty())
            return who + ": " + fault;
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

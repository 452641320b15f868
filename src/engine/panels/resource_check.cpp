#include "engine/panels/resource_check.h"

#include "engine/controls/control_kinds.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QXmlStreamReader>
#include <cerrno>
#include <cmath>
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

// The elements a panel is made of, named as Qt's loader names them (it matches them without
// regard to case, and so does this check): the elements each may lie in ("": the document's
// top) and the attributes it may carry (matched exactly: the loader ignores any other
// spelling, so none may stand in the file to mean something else). A value element holds
// text and nothing else.
struct ElementRule {
    const char* name;
    const char* parents;
    const char* attributes;
    bool holdsText;
};
const ElementRule kElements[] = {
    {"ui", "", "version", false},
    {"class", "ui customwidget", "", true},
    {"widget", "ui widget item", "class name", false},
    {"layout", "widget item", "class name columnstretch rowstretch stretch", false},
    {"item", "layout widget", "row column rowspan colspan", false},
    {"spacer", "item", "name", false},
    {"property", "widget action item spacer", "name stdset", false},
    {"action", "widget", "name", false},
    {"addaction", "widget", "name", false},
    {"customwidgets", "ui", "", false},
    {"customwidget", "customwidgets", "", false},
    {"extends", "customwidget", "", true},
    {"header", "customwidget", "", true},
    {"resources", "ui", "", false},
    {"connections", "ui", "", false},
    {"tabstops", "ui", "", false},
    {"tabstop", "tabstops", "", true},
    {"number", "property", "", true},
    {"double", "property", "", true},
    {"bool", "property", "", true},
    {"string", "property", "", true},
    {"cstring", "property", "", true},
    {"enum", "property", "", true},
    {"size", "property", "", false},
    {"width", "size", "", true},
    {"height", "size", "", true},
    {"sizepolicy", "property", "hsizetype vsizetype", false},
    {"horstretch", "sizepolicy", "", true},
    {"verstretch", "sizepolicy", "", true},
};

// The widgets that only hold or label controls, and the properties each may carry; the
// controls' own are in their kind's row. Every widget may carry kEveryWidget's.
const struct {
    const char* className;
    const char* properties;
} kPlainWidgets[] = {
    {"QMainWindow", "windowTitle:string panelId:number callback:string"},
    {"QWidget", ""},
    {"QFrame", ""},
    {"QGroupBox", "title:string"},
    {"QLabel", "text:string buddy:cstring portSource:bool"},
    {"QMenuBar", ""},
    {"QMenu", "title:string"},
};
const char kEveryWidget[] = "toolTip:string minimumSize:size sizePolicy:sizepolicy";
const char kEveryControl[] = "controlId:number callback:string";
const char kLayouts[] = "QFormLayout QGridLayout QHBoxLayout QVBoxLayout";
// The properties of what is not a widget: a menu item, a list's item, a spacer.
const char kActionProperties[] = "text:string shortcut:string callback:string";
const char kItemProperties[] = "text:string";
const char kSpacerProperties[] = "orientation:enum";

// The largest minimum size a widget may ask for, in pixels a side: a screen's worth.
constexpr int kMaxWidgetExtent = 8192;
constexpr int kMaxStretch = 255;

// The word of a space-separated list that equals `word`, or its "word:rest" entry's rest;
// null when the list has none.
const char* listed(const char* list, QStringView word, Qt::CaseSensitivity cs) {
    for (const char* p = list ? list : ""; *p;) {
        const char* end = p;
        while (*end && *end != ' ' && *end != ':') ++end;
        const char* next = end;
        while (*next && *next != ' ') ++next;
        if (QLatin1StringView(p, end - p).compare(word, cs) == 0)
            return *end == ':' ? end + 1 : end;
        p = *next ? next + 1 : next;
    }
    return nullptr;
}
// The type of an entry found by listed(), as its own string.
QString typeOf(const char* entry) {
    const char* end = entry;
    while (*end && *end != ' ') ++end;
    return QString::fromLatin1(entry, end - entry);
}

const ElementRule* ruleFor(QStringView name) {
    for (const ElementRule& rule : kElements)
        if (name.compare(QLatin1StringView(rule.name), Qt::CaseInsensitive) == 0) return &rule;
    return nullptr;
}

// The widget class's own properties: null when it is no class a panel may hold.
const char* classProperties(QStringView className) {
    if (const ControlKind* kind = KindNamed(className.toString())) return kind->properties;
    for (const auto& plain : kPlainWidgets)
        if (className == QLatin1StringView(plain.className)) return plain.properties;
    return nullptr;
}

bool isIdentifier(QStringView text, bool scoped) {
    if (text.isEmpty()) return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const bool colons = scoped && c == ':' && i + 1 < text.size() && text[i + 1] == ':' &&
                            i > 0 && i + 2 < text.size();
        if (colons)
            ++i;
        else if (!(c.isDigit() && i > 0) && !(c < QChar(0x80) && (c.isLetter() || c == '_')))
            return false;
    }
    return true;
}

// Text from the file as a refusal quotes it: the start of it, however long it is.
QString quoted(QStringView text) {
    constexpr qsizetype kShown = 40;
    return text.size() <= kShown ? text.toString() : text.left(kShown).toString() + "...";
}

// The fault in a value element's text, empty when none.
QString valueFault(QStringView type, const QString& text) {
    const QString t = text.trimmed();
    bool ok = false;
    if (type == u"number") {
        t.toInt(&ok);
        if (!ok) return QString("\"%1\" is not a whole number").arg(quoted(text));
    } else if (type == u"double") {
        if (!std::isfinite(t.toDouble(&ok)) || !ok)
            return QString("\"%1\" is not a finite number").arg(quoted(text));
    } else if (type == u"bool") {
        if (t != u"true" && t != u"false")
            return QString("\"%1\" is not true or false").arg(quoted(text));
    } else if (type == u"enum" || type == u"cstring") {
        if (!isIdentifier(t, type == u"enum"))
            return QString("\"%1\" is not a name").arg(quoted(text));
    } else if (type == u"string") {
        // Markup would be shown as rich text, which loads the images it names.
        if (text.contains('<')) return "text with markup, which a panel may not show";
    } else if (type == u"width" || type == u"height") {
        const int v = t.toInt(&ok);
        if (!ok || v < 0 || v > kMaxWidgetExtent)
            return QString("must be 0 to %1 pixels").arg(kMaxWidgetExtent);
    } else if (type == u"horstretch" || type == u"verstretch") {
        const int v = t.toInt(&ok);
        if (!ok || v < 0 || v > kMaxStretch) return QString("must be 0 to %1").arg(kMaxStretch);
    }
    return {};
}

struct Widget {
    QString className, name;
    ResourceProperties properties;
    qint64 line;
};

QString checkWidget(const Widget& w) {
    const QString who = QString("control %1 (%2)").arg(w.name, w.className);
    const ControlKind* kind = KindNamed(w.className);
    auto id = w.properties.find("controlId");
    if (id != w.properties.end()) {
        bool ok = false;
        const int value = id->second.text.trimmed().toInt(&ok);
        if (!ok || value <= 0)
            return QString("%1: its ID must be a whole number above 0 (got %2)")
                .arg(who, id->second.text);
    } else if (kind && kind->needsId) {
        return who + " has no ID";
    }
    auto callback = w.properties.find("callback");
    if (callback != w.properties.end() && callback->second.text.trimmed().isEmpty())
        return who + ": its callback must name a function";
    if (kind && kind->check)
        if (const QString fault = kind->check(w.properties); !fault.isEmpty())
            return who + ": " + fault;
    return {};
}

// An element being read: its name as the file spells it, and what it holds so far.
struct Open {
    QString name;       // lower case
    QString spelled;    // as written
    QString className;  // a widget's or layout's class
    QString property;   // a property's name
    QString type;       // and the element that holds its value
    int values = 0;     // a property's value elements
};

class Checker {
  public:
    explicit Checker(const QByteArray& xml) : reader_(xml) {}
    QString run();

  private:
    QString fault(const QString& what) const {
        return QString("line %1, <%2>: %3")
            .arg(reader_.lineNumber())
            .arg(open_.empty() ? QString() : quoted(open_.back().spelled), what);
    }
    QString start();
    QString end();
    QString text(const ElementRule& rule);
    // The element that holds the value of the owner's property; empty when the owner may
    // not carry that property.
    static QString propertyType(const Open& owner, QStringView property);

    QXmlStreamReader reader_;
    std::vector<Open> open_;
    std::vector<Widget> widgets_;  // the widgets being read, outermost first
    int widgetCount_ = 0;
};

QString Checker::run() {
    while (!reader_.atEnd()) {
        QString why;
        switch (reader_.readNext()) {
            case QXmlStreamReader::StartElement:
                why = start();
                break;
            case QXmlStreamReader::EndElement:
                why = end();
                break;
            case QXmlStreamReader::Characters:
                if (!reader_.isWhitespace())
                    why = QString("line %1: text outside a value").arg(reader_.lineNumber());
                break;
            case QXmlStreamReader::DTD:
            case QXmlStreamReader::EntityReference:
            case QXmlStreamReader::ProcessingInstruction:
                why = QString("line %1: %2, which a panel may not hold")
                          .arg(reader_.lineNumber())
                          .arg(reader_.tokenString());
                break;
            default:
                break;
        }
        if (!why.isEmpty()) return why;
    }
    if (reader_.hasError())
        return QString("not a panel resource: line %1: %2")
            .arg(reader_.lineNumber())
            .arg(reader_.errorString());
    return {};
}

QString Checker::start() {
    const QStringView name = reader_.qualifiedName();
    open_.push_back({name.toString().toLower(), name.toString(), {}, {}, {}, 0});
    if (open_.size() > static_cast<std::size_t>(kMaxResourceDepth))
        return fault(QString("nested more than %1 levels deep").arg(kMaxResourceDepth));
    const ElementRule* rule = ruleFor(name);
    if (!rule) return fault("not an element a panel may hold");
    const QString parent = open_.size() > 1 ? open_[open_.size() - 2].name : QString();
    const bool placed = parent.isEmpty()
                            ? *rule->parents == '\0'
                            : listed(rule->parents, parent, Qt::CaseSensitive) != nullptr;
    if (!placed)
        return fault(parent.isEmpty() ? "not where a panel begins"
                                      : QString("may not lie in <%1>").arg(parent));
    const QXmlStreamAttributes attributes = reader_.attributes();
    for (const QXmlStreamAttribute& a : attributes)
        if (!listed(rule->attributes, a.qualifiedName(), Qt::CaseSensitive))
            return fault(QString("may not carry the attribute %1").arg(quoted(a.qualifiedName())));
    if (!reader_.namespaceDeclarations().isEmpty()) return fault("may not declare a namespace");
    Open& here = open_.back();
    here.className = attributes.value("class").toString();
    if (here.name == u"widget") {
        if (!classProperties(here.className))
            return fault(QString("a %1, which a panel may not hold").arg(quoted(here.className)));
        if (++widgetCount_ > kMaxResourceWidgets)
            return fault(QString("more than %1 widgets in one panel").arg(kMaxResourceWidgets));
        widgets_.push_back(
            {here.className, attributes.value("name").toString(), {}, reader_.lineNumber()});
    } else if (here.name == u"layout" && !listed(kLayouts, here.className, Qt::CaseSensitive)) {
        return fault(QString("a %1, which a panel may not hold").arg(quoted(here.className)));
    } else if (here.name == u"property") {
        const Open& owner = open_[open_.size() - 2];
        here.property = attributes.value("name").toString();
        here.type = propertyType(owner, here.property);
        if (here.type.isEmpty())
            return fault(QString("a %1 may not carry the property \"%2\"")
                             .arg(owner.className.isEmpty() ? owner.name : owner.className,
                                  quoted(here.property)));
    }
    if (parent == u"property") {
        Open& property = open_[open_.size() - 2];
        const bool numberForDouble = property.type == u"double" && here.name == u"number";
        if (++property.values > 1 || (here.name != property.type && !numberForDouble))
            return fault(QString("property \"%1\" must hold one <%2>")
                             .arg(quoted(property.property), property.type));
    }
    return rule->holdsText ? text(*rule) : QString();
}

QString Checker::text(const ElementRule& rule) {
    const QString value = reader_.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
    if (reader_.hasError()) return {};  // said once the reading stops
    QString why = valueFault(QString::fromLatin1(rule.name), value);
    const QString parent = open_[open_.size() - 2].name;
    if (why.isEmpty() && parent == u"customwidget") {
        const ControlKind* kind = KindNamed(value.trimmed());
        if (open_.back().name == u"class" && !(kind && kind->create))
            why = QString("%1 is none of the engine's own controls").arg(quoted(value));
        if (open_.back().name == u"extends" && !classProperties(value.trimmed()))
            why = QString("%1 is no class a panel may hold").arg(quoted(value));
    }
    if (why.isEmpty() && parent == u"property" && open_.size() >= 3 &&
        open_[open_.size() - 3].name == u"widget")
        widgets_.back().properties[open_[open_.size() - 2].property] = {open_.back().name, value};
    if (!why.isEmpty()) return fault(why);
    open_.pop_back();  // its end was read with its text
    return {};
}

QString Checker::end() {
    if (open_.back().name == u"property" && open_.back().values != 1)
        return fault(QString("property \"%1\" holds no value").arg(quoted(open_.back().property)));
    if (open_.back().name == u"widget") {
        const Widget& w = widgets_.back();
        if (const QString why = checkWidget(w); !why.isEmpty())
            return QString("line %1, <%2>: %3").arg(w.line).arg(quoted(open_.back().spelled), why);
        widgets_.pop_back();
    }
    open_.pop_back();
    return {};
}

QString Checker::propertyType(const Open& owner, QStringView property) {
    const char* found = nullptr;
    if (owner.name == u"action") found = listed(kActionProperties, property, Qt::CaseSensitive);
    if (owner.name == u"item") found = listed(kItemProperties, property, Qt::CaseSensitive);
    if (owner.name == u"spacer") found = listed(kSpacerProperties, property, Qt::CaseSensitive);
    if (owner.name == u"widget") {
        found = listed(kEveryWidget, property, Qt::CaseSensitive);
        if (!found) found = listed(classProperties(owner.className), property, Qt::CaseSensitive);
        if (!found && KindNamed(owner.className))
            found = listed(kEveryControl, property, Qt::CaseSensitive);
    }
    return found ? typeOf(found) : QString();
}

}  // namespace

QString CheckPanelXml(const QByteArray& xml) {
    return Checker(xml).run();
}

}  // namespace engine

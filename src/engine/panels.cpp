#include "engine/panels.h"

#include <sys/stat.h>
#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QEvent>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QMainWindow>
#include <QMessageBox>
#include <QProgressBar>
#include <QStatusBar>
#include <QTimer>
#include <QUiLoader>

#include <chrono>
#include <climits>
#include <cmath>
#include <iostream>
#include <set>
#include <utility>

#include "engine/controls.h"
#include "engine/options.h"
#include "engine/resource_check.h"

namespace engine {
namespace {

std::map<int, std::unique_ptr<Panel>> panels;
int nextHandle = 1;
std::map<std::string, CallbackEntry> callbacks;
std::string resourceFolder;
std::string statusText;
std::string lastLoadError;
StatusTone statusTone = StatusTone::plain;
int depth = 0;
long deferredTicks = 0;
std::set<std::pair<int, int>> pendingTicks;  // panel, control
std::chrono::steady_clock::time_point lastCallbackStart{}, lastCallbackEnd{};
QEventLoop* loop = nullptr;
PopupResponder responder;
bool programChanging = false;  // a value set by the program, which is no operator change

struct ProgramChange {
    ProgramChange() { programChanging = true; }
    ~ProgramChange() { programChanging = false; }
};

// Creates our own controls by class name; everything else is Qt's.
class PanelLoader : public QUiLoader {
  public:
    QWidget* createWidget(const QString& className, QWidget* parent, const QString& name) override {
        QWidget* w = nullptr;
        if (className == "NumericEntry")
            w = new NumericEntry(parent);
        else if (className == "NumericIndicator")
            w = new NumericIndicator(parent);
        else if (className == "TimerControl")
            w = new TimerControl(parent);
        else if (className == "StripChart")
            w = new StripChart(parent);
        else if (className == "LargeDisplay")
            w = new LargeDisplay(parent);
        else if (className == "RateMeter")
            w = new RateMeter(parent);
        else
            return QUiLoader::createWidget(className, parent, name);
        w->setObjectName(name);
        return w;
    }
};

// Turns the operator closing a panel into EVENT_CLOSE; the panel stays up unless its
// callback hides it or ends the program.
class CloseWatcher : public QObject {
  public:
    explicit CloseWatcher(int handle, QObject* parent) : QObject(parent), handle_(handle) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::Close) return false;
        event->ignore();
        DispatchPanelEvent(handle_, EVENT_CLOSE);
        return true;
    }

  private:
    int handle_;
};

// Holds a panel to at most kDisplayFramesPerSecond paints. Controls change on every scan, up to a
// thousand times a second, and Qt would paint the window after each; the limiter lets one
// paint through per frame and sends the held-back one when the next frame is due, so nothing
// shown is ever older than a frame.
class FrameLimiter : public QObject {
  public:
    explicit FrameLimiter(QWidget* window) : QObject(window), window_(window) {
        late_.setSingleShot(true);
        late_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&late_, &QTimer::timeout, this, [this] {
            QCoreApplication::postEvent(window_, new QEvent(QEvent::UpdateRequest),
                                        Qt::LowEventPriority);
        });
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::UpdateRequest) return false;
        const auto now = std::chrono::steady_clock::now();
        if (now - last_ >= kFrame) {
            last_ = now;
            return false;  // paint now
        }
        if (!late_.isActive()) {
            const auto wait =
                std::chrono::duration_cast<std::chrono::milliseconds>(last_ + kFrame - now);
            late_.start(static_cast<int>(wait.count()) + 1);
        }
        return true;
    }

  private:
    static constexpr std::chrono::nanoseconds kFrame{1'000'000'000 / kDisplayFramesPerSecond};
    QWidget* window_;
    QTimer late_;
    std::chrono::steady_clock::time_point last_{};
};

// Delivers the ticks deferred during a callback once it has ended; while one still runs
// (the popup's loop came round first), tries again on the next pass.
void deliverPendingTicks() {
    if (depth > 0) {
        QTimer::singleShot(1, qApp, deliverPendingTicks);
        return;
    }
    const auto due = std::exchange(pendingTicks, {});
    for (const auto& [panel, control] : due) DispatchControlEvent(panel, control, EVENT_TIMER_TICK);
}

void afterCallback() {
    if (depth == 0 && QuitRequested() && loop) loop->exit(0);
}

void leaveCallback() {
    if (--depth == 0) lastCallbackEnd = std::chrono::steady_clock::now();
    afterCallback();
}

void enterCallback() {
    if (depth++ == 0) lastCallbackStart = std::chrono::steady_clock::now();
}

template <typename Call>
int guarded(Call&& call) {
    enterCallback();
    int result = call();
    leaveCallback();
    return result;
}

// Says why a panel could not be loaded, in one line, and gives LoadPanel's failure result.
int loadError(const std::string& path, const QString& reason) {
    lastLoadError = "zelmor engine: cannot load panel from \"" + Printable(path) +
                    "\": " + Printable(reason.toStdString());
    std::cerr << lastLoadError << std::endl;
    return kLoadFailed;
}

// Where a resource was looked for in vain, when more than one folder was tried.
std::vector<std::string> notFoundIn;

// The resource's path as bytes: a folder given on the command line need not be UTF-8.
std::string findResource(const char* fileName) {
    notFoundIn.clear();
    const std::string name = fileName ? fileName : "";
    if (!name.empty() && name[0] == '/') return name;
    std::vector<std::string> folders;
    if (!resourceFolder.empty()) {
        folders.push_back(resourceFolder);
    } else {
        // Next to the executable in the build tree; in the data folder that lies the same way
        // from the executable as it did at install time, wherever the tree was installed.
        const QDir exe(QCoreApplication::applicationDirPath());
        folders.push_back(QFile::encodeName(exe.path()).toStdString());
        folders.push_back(
            QFile::encodeName(QDir::cleanPath(exe.filePath(QStringLiteral(ZELMOR_DATA_FROM_BIN))))
                .toStdString());
    }
    for (const std::string& f : folders) {
        struct stat st {};
        if (::stat((f + "/" + name).c_str(), &st) == 0) return f + "/" + name;
    }
    if (folders.size() == 1) return folders.front() + "/" + name;
    notFoundIn = folders;
    return name;
}

bool supportedControl(QWidget* w) {
    return qobject_cast<QComboBox*>(w) || qobject_cast<QAbstractSpinBox*>(w) ||
           qobject_cast<LargeDisplay*>(w) || qobject_cast<QProgressBar*>(w) ||
           qobject_cast<StripChart*>(w) || qobject_cast<TimerControl*>(w);
}

void showStatus(QLabel* label) {
    label->setText(QString::fromStdString(statusText));
    // A notice is a badge nobody can miss: for instance, that the voltages are not measured.
    // An alarm says the measurement itself has failed: the port stopped answering.
    const char* style = "";
    if (statusTone == StatusTone::notice)
        style =
            "QLabel { background: #f0ad4e; color: black; font-weight: bold; padding: 2px 6px; "
            "border-radius: 3px; }";
    else if (statusTone == StatusTone::alarm)
        style =
            "QLabel { background: #c9302c; color: white; font-weight: bold; padding: 2px 6px; "
            "border-radius: 3px; }";
    label->setStyleSheet(style);
}

void addStatusLine(Panel& p) {
    if (statusText.empty()) return;
    auto* label = new QLabel;
    label->setObjectName("engineStatusLine");
    showStatus(label);
    if (auto* main = qobject_cast<QMainWindow*>(p.window.get())) {
        main->statusBar()->addWidget(label, 1);
    } else if (p.window->layout()) {
        p.window->layout()->addWidget(label);
    } else {
        delete label;
        return;
    }
    p.statusLine = label;
}

// Wires a control's own signals to the events the program receives.
void wire(int handle, int id, QWidget* w) {
    auto send = [handle, id](int event) {
        return [handle, id, event] { DispatchControlEvent(handle, id, event); };
    };
    if (auto* combo = qobject_cast<QComboBox*>(w)) {
        QObject::connect(combo, &QComboBox::currentIndexChanged, combo, [handle, id] {
            if (!programChanging) DispatchControlEvent(handle, id, EVENT_VAL_CHANGED);
        });
        QObject::connect(combo, &QComboBox::activated, combo, send(EVENT_COMMIT));
    } else if (auto* entry = qobject_cast<NumericEntry*>(w)) {
        // A spin box repeats its value on Enter; only a different value is a change.
        auto last = std::make_shared<int>(entry->value());
        QObject::connect(entry, &QSpinBox::valueChanged, entry, [handle, id, last](int v) {
            const bool changed = v != *last;
            *last = v;
            if (changed && !programChanging) DispatchControlEvent(handle, id, EVENT_VAL_CHANGED);
        });
        QObject::connect(entry, &NumericEntry::committed, entry, send(EVENT_COMMIT));
    } else if (auto* timer = qobject_cast<TimerControl*>(w)) {
        QObject::connect(timer, &TimerControl::due, timer, send(EVENT_TIMER_TICK));
    }
}

template <typename T>
T* as(int panel, int control, int& error) {
    Control* c = FindControl(panel, control);
    if (!c) {
        error = FindPanel(panel) ? kBadControl : kBadPanel;
        return nullptr;
    }
    auto* w = qobject_cast<T*>(c->widget.data());
    error = w ? kOk : kWrongControlKind;
    return w;
}

int setNumeric(int panel, int control, double value) {
    if (std::isnan(value)) return kBadValue;
    Control* c = FindControl(panel, control);
    if (!c) return FindPanel(panel) ? kBadControl : kBadPanel;
    QWidget* w = c->widget.data();
    const ProgramChange change;
    if (auto* s = qobject_cast<QSpinBox*>(w)) {
        s->setValue(
            static_cast<int>(std::clamp<double>(std::round(value), s->minimum(), s->maximum())));
    } else if (auto* d = qobject_cast<QDoubleSpinBox*>(w)) {
        d->setValue(value);
    } else if (auto* meter = qobject_cast<RateMeter*>(w)) {
        meter->showRate(static_cast<int>(std::clamp<double>(std::round(value), INT_MIN, INT_MAX)));
    } else if (auto* big = qobject_cast<LargeDisplay*>(w)) {
        big->showValue(value);
    } else if (auto* bar = qobject_cast<QProgressBar*>(w)) {
        bar->setValue(static_cast<int>(
            std::clamp<double>(std::round(value), bar->minimum(), bar->maximum())));
    } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
        if (value != std::floor(value) || value < -1 || value >= combo->count()) return kBadValue;
        combo->setCurrentIndex(static_cast<int>(value));
    } else {
        return kWrongControlKind;
    }
    return kOk;
}

int getNumeric(int panel, int control, double& value) {
    Control* c = FindControl(panel, control);
    if (!c) return FindPanel(panel) ? kBadControl : kBadPanel;
    QWidget* w = c->widget.data();
    if (auto* s = qobject_cast<QSpinBox*>(w))
        value = s->value();
    else if (auto* d = qobject_cast<QDoubleSpinBox*>(w))
        value = d->value();
    else if (auto* bar = qobject_cast<QProgressBar*>(w))
        value = bar->value();
    else if (auto* big = qobject_cast<LargeDisplay*>(w))
        value = big->shownValue();
    else if (auto* combo = qobject_cast<QComboBox*>(w))
        value = combo->currentIndex();
    else
        return kWrongControlKind;
    return kOk;
}

int setMaximum(int panel, int control, double max) {
    if (!std::isfinite(max)) return kBadValue;
    Control* c = FindControl(panel, control);
    if (!c) return FindPanel(panel) ? kBadControl : kBadPanel;
    QWidget* w = c->widget.data();
    const ProgramChange change;
    if (auto* s = qobject_cast<QSpinBox*>(w)) {
        if (max < s->minimum()) return kBadValue;
        s->setMaximum(static_cast<int>(max));
    } else if (auto* d = qobject_cast<QDoubleSpinBox*>(w)) {
        if (max < d->minimum()) return kBadValue;
        d->setMaximum(max);
    } else if (auto* bar = qobject_cast<QProgressBar*>(w)) {
        if (max < bar->minimum()) return kBadValue;
        // QProgressBar empties itself when its value leaves the range: pin it instead.
        const int shown = std::min(bar->value(), static_cast<int>(max));
        bar->setMaximum(static_cast<int>(max));
        if (auto* meter = qobject_cast<RateMeter*>(bar))
            meter->showRate(std::max(shown, bar->minimum()));
        else
            bar->setValue(std::max(shown, bar->minimum()));
    } else {
        return kWrongControlKind;
    }
    return kOk;
}

class QtFront final : public DialogFront {
  public:
    void showPopup(const std::string& title, const std::string& message) override {
        QMessageBox box(QMessageBox::Information, QString::fromStdString(title),
                        QString::fromStdString(message), QMessageBox::Ok,
                        QApplication::activeWindow());
        box.setWindowModality(Qt::ApplicationModal);
        if (responder) {
            const PopupRecord record{title, message};
            QTimer::singleShot(0, &box, [&box, record] {
                responder(record);
                box.done(QMessageBox::Ok);
            });
        }
        // A popup counts as a running callback: no tick is delivered while it is open.
        enterCallback();
        box.exec();
        leaveCallback();
    }
    void quitRequested() override { afterCallback(); }
};

QtFront qtFront;

}  // namespace

Panel* FindPanel(int handle) {
    auto it = panels.find(handle);
    return it == panels.end() ? nullptr : it->second.get();
}

Control* FindControl(int panel, int control) {
    Panel* p = FindPanel(panel);
    if (!p) return nullptr;
    auto it = p->controls.find(control);
    return (it == p->controls.end() || !it->second.widget) ? nullptr : &it->second;
}

void DiscardAllPanels() {
    panels.clear();
}

int DispatchControlEvent(int panel, int control, int event) {
    Control* c = FindControl(panel, control);
    if (!c || !c->callback) return 0;
    if (depth > 0) {
        // A tick that falls due inside another callback (a popup's loop runs timers) waits
        // for it to end; however many fall due meanwhile, one is delivered.
        if (event == EVENT_TIMER_TICK) {
            ++deferredTicks;
            if (pendingTicks.insert({panel, control}).second && pendingTicks.size() == 1)
                QTimer::singleShot(0, qApp, deliverPendingTicks);
        }
        return 0;
    }
    CtrlCallbackPtr callback = c->callback;
    return guarded([&] { return callback(panel, control, event, nullptr, 0, 0); });
}

int DispatchPanelEvent(int panel, int event) {
    Panel* p = FindPanel(panel);
    if (!p || !p->callback || depth > 0) return 0;
    PanelCallbackPtr callback = p->callback;
    return guarded([&] { return callback(panel, event, nullptr, 0, 0); });
}

int DispatchCommand(CommandCallbackPtr command) {
    if (!command || depth > 0) return 0;
    return guarded([&] {
        command();
        return 0;
    });
}

std::pair<std::chrono::steady_clock::time_point, std::chrono::steady_clock::time_point>
LastCallbackSpan() {
    return {lastCallbackStart, lastCallbackEnd};
}
long DeferredTicks() {
    return deferredTicks;
}
void SetResourceFolder(const std::string& folder) {
    resourceFolder = folder;
}

std::string TakeLastLoadError() {
    return std::exchange(lastLoadError, std::string());
}

void SetStatusLine(const std::string& text, StatusTone tone) {
    statusText = text;
    statusTone = tone;
    for (auto& [handle, p] : panels) {
        if (p->statusLine)
            showStatus(p->statusLine);
        else
            addStatusLine(*p);
    }
}

void InstallQtFront() {
    InstallDialogFront(&qtFront);
}
void SetPopupResponder(PopupResponder r) {
    responder = std::move(r);
}

void RegisterCallbacks(const CallbackTable& table) {
    callbacks.clear();
    for (const auto& entry : table) callbacks[entry.name] = entry;
}

}  // namespace engine

using namespace engine;

// Qt's warnings while a panel loads: each is a fault of the resource.
QStringList loaderWarnings;

int LoadPanel(int parent, const char* fileName, int panelResourceId) {
    const std::string path = findResource(fileName);
    if (parent != 0) return loadError(path, "only top-level panels (parent 0) exist");
    if (!notFoundIn.empty()) {
        std::string where;
        for (const auto& f : notFoundIn) where += (where.empty() ? "\"" : "\" nor in \"") + f;
        return loadError(path, QString::fromStdString("found neither in " + where + "\""));
    }
    QByteArray bytes;
    if (QString why = ReadResourceFile(path, bytes); !why.isEmpty()) return loadError(path, why);
    if (QString why = CheckPanelXml(bytes); !why.isEmpty()) return loadError(path, why);

    PanelLoader loader;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    loaderWarnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& text) { loaderWarnings << text; });
    std::unique_ptr<QWidget> window(loader.load(&buffer));
    qInstallMessageHandler(previous);
    if (!window) {
        const QString why = loader.errorString();
        return loadError(path, why.isEmpty() ? "not a panel resource" : why);
    }
    // An unknown widget class, a property the widget lacks: the loader goes on with a
    // substitute, and the panel would look whole while a control is missing.
    if (!loaderWarnings.isEmpty()) return loadError(path, loaderWarnings.front().simplified());
    // A dialog ends its own way on Escape, and the program would never hear of it.
    if (qobject_cast<QDialog*>(window.get()))
        return loadError(path, "its top level is a dialog, which cannot be a panel");
    if (window->property("panelId").toInt() != panelResourceId)
        return loadError(path, QString("holds no panel with resource ID %1").arg(panelResourceId));

    auto panel = std::make_unique<Panel>();
    const int handle = nextHandle;
    auto lookup = [&](const QVariant& name, QString& error,
                      const char* what) -> const CallbackEntry* {
        auto it = callbacks.find(name.toString().toStdString());
        if (it == callbacks.end()) {
            error = QString("%1 names callback \"%2\", which the program does not define")
                        .arg(what, name.toString());
            return nullptr;
        }
        return &it->second;
    };

    QString error;
    const QVariant panelCallback = window->property("callback");
    if (panelCallback.isValid() && !panelCallback.toString().isEmpty()) {
        const CallbackEntry* e = lookup(panelCallback, error, "the panel");
        if (!e) return loadError(path, error);
        if (!std::holds_alternative<PanelCallbackPtr>(e->function))
            return loadError(path, "the panel's callback is not a panel callback");
        panel->callback = std::get<PanelCallbackPtr>(e->function);
    }

    for (QWidget* w : window->findChildren<QWidget*>()) {
        const QVariant idProperty = w->property("controlId");
        if (!idProperty.isValid()) continue;
        bool ok = false;
        const int id = idProperty.toInt(&ok);
        const QString name = w->objectName();
        if (!ok || id <= 0) return loadError(path, QString("control %1 has no valid ID").arg(name));
        if (panel->controls.count(id))
            return loadError(path, QString("two controls have ID %1").arg(id));
        if (!supportedControl(w))
            return loadError(path, QString("control %1 is a %2, which the engine cannot drive")
                                       .arg(name, w->metaObject()->className()));
        Control c;
        c.id = id;
        c.widget = w;
        const QVariant cb = w->property("callback");
        if (cb.isValid() && !cb.toString().isEmpty()) {
            const CallbackEntry* e = lookup(cb, error, qPrintable("control " + name));
            if (!e) return loadError(path, error);
            if (!std::holds_alternative<CtrlCallbackPtr>(e->function))
                return loadError(
                    path, QString("callback of control %1 is not a control callback").arg(name));
            c.callback = std::get<CtrlCallbackPtr>(e->function);
        }
        panel->controls[id] = c;
    }

    for (QAction* action : window->findChildren<QAction*>()) {
        const QVariant cb = action->property("callback");
        if (!cb.isValid() || cb.toString().isEmpty()) continue;
        const CallbackEntry* e = lookup(cb, error, qPrintable("menu item " + action->objectName()));
        if (!e) return loadError(path, error);
        if (!std::holds_alternative<CommandCallbackPtr>(e->function))
            return loadError(
                path,
                QString("menu item %1 does not name a command callback").arg(action->objectName()));
        const CommandCallbackPtr command = std::get<CommandCallbackPtr>(e->function);
        QObject::connect(action, &QAction::triggered, action,
                         [command] { DispatchCommand(command); });
    }

    for (auto& [id, c] : panel->controls) wire(handle, id, c.widget.data());
    window->installEventFilter(new CloseWatcher(handle, window.get()));
    window->installEventFilter(new FrameLimiter(window.get()));
    panel->handle = handle;
    panel->window = std::move(window);
    addStatusLine(*panel);
    panels[handle] = std::move(panel);
    ++nextHandle;
    return handle;
}

int DisplayPanel(int panel) {
    Panel* p = FindPanel(panel);
    if (!p) return kBadPanel;
    p->window->show();
    p->window->raise();
    return kOk;
}

int HidePanel(int panel) {
    Panel* p = FindPanel(panel);
    if (!p) return kBadPanel;
    p->window->hide();
    return kOk;
}

int RunUserInterface() {
    if (loop || depth > 0) return kBadValue;  // the loop runs once, never inside a callback
    if (!QuitRequested()) {
        QEventLoop eventLoop;
        loop = &eventLoop;
        eventLoop.exec();
        loop = nullptr;
    }
    ClearQuitRequest();
    return 0;
}

int GetCtrlVal(int panel, int control, int* value) {
    double v = 0;
    const int r = getNumeric(panel, control, v);
    if (r == kOk && value) *value = static_cast<int>(std::lround(v));
    return r;
}

int GetCtrlVal(int panel, int control, double* value) {
    double v = 0;
    const int r = getNumeric(panel, control, v);
    if (r == kOk && value) *value = v;
    return r;
}

int SetCtrlVal(int panel, int control, int value) {
    return setNumeric(panel, control, value);
}
int SetCtrlVal(int panel, int control, double value) {
    return setNumeric(panel, control, value);
}

int SetCtrlAttribute(int panel, int control, int attribute, double value) {
    int error = kOk;
    switch (attribute) {
        case ATTR_DIMMED: {
            Control* c = FindControl(panel, control);
            if (!c) return FindPanel(panel) ? kBadControl : kBadPanel;
            c->widget->setEnabled(value == 0);
            return kOk;
        }
        case ATTR_INTERVAL: {
            auto* timer = as<TimerControl>(panel, control, error);
            if (!timer) return error;
            if (!(value > 0) || !std::isfinite(value)) return kBadValue;
            timer->setInterval(value);
            return kOk;
        }
        case ATTR_MAX_VALUE:
            return setMaximum(panel, control, value);
        default:
            return kBadAttribute;
    }
}

int SetCtrlAttribute(int panel, int control, int attribute, int value) {
    return SetCtrlAttribute(panel, control, attribute, static_cast<double>(value));
}

int SetPanelAttribute(int panel, int attribute, const char* value) {
    Panel* p = FindPanel(panel);
    if (!p) return kBadPanel;
    if (attribute != ATTR_TITLE) return kBadAttribute;
    p->window->setWindowTitle(QString::fromUtf8(value ? value : ""));
    return kOk;
}

int PlotStripChart(int panel, int control, const double* array, int numberOfPoints,
                   int startingIndex, int skipCount, int dataType) {
    int error = kOk;
    auto* chart = as<StripChart>(panel, control, error);
    if (!chart) return error;
    const int traces = chart->traceCount();
    if (dataType != VAL_DOUBLE || !array || numberOfPoints <= 0 || startingIndex < 0 ||
        skipCount < 0)
        return kBadValue;
    if (numberOfPoints % traces != 0) {
        // Said once per chart: a chart built for another number of traces would otherwise
        // simply stay empty.
        static std::set<std::pair<int, int>> told;
        if (told.insert({panel, control}).second)
            std::cerr << "zelmor engine: chart " << chart->objectName().toStdString() << " has "
                      << traces << " traces; " << numberOfPoints
                      << " values are not a whole number of scans, and nothing is plotted"
                      << std::endl;
        return kBadValue;
    }
    const double* first = array + startingIndex;
    if (skipCount == 0) {
        // The usual case, one scan after another: append straight from the caller's array.
        for (int i = 0; i < numberOfPoints; i += traces) chart->appendScan(first + i);
        return kOk;
    }
    std::vector<double> scan(static_cast<std::size_t>(traces));
    const long stride = static_cast<long>(skipCount) + 1;
    for (int i = 0; i < numberOfPoints; ++i) {
        scan[static_cast<std::size_t>(i % traces)] = first[i * stride];
        if (i % traces == traces - 1) chart->appendScan(scan.data());
    }
    return kOk;
}

#include "engine/panels/loader.h"

#include <sys/stat.h>

#include <QAction>
#include <QBuffer>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QUiLoader>
#include <iostream>
#include <map>
#include <utility>
#include <vector>

#include "engine/chart/strip_chart.h"
#include "engine/controls/control_kinds.h"
#include "engine/display/frame_limiter.h"
#include "engine/options.h"
#include "engine/panels/chart_actions.h"
#include "engine/panels/dispatch.h"
#include "engine/panels/face.h"
#include "engine/panels/looks.h"
#include "engine/panels/recordings.h"
#include "engine/panels/registry.h"
#include "engine/panels/resource_check.h"

namespace engine {
namespace {

std::map<std::string, CallbackEntry> callbacks;
std::string resourceFolder;
// Qt's warnings while a panel loads: each is a fault of the resource.
QStringList loaderWarnings;

// Makes the controls whose kind has a factory (our own widgets); everything else is Qt's.
class PanelLoader : public QUiLoader {
  public:
    QWidget* createWidget(const QString& className, QWidget* parent, const QString& name) override {
        const ControlKind* kind = KindNamed(className);
        if (!kind || !kind->create) return QUiLoader::createWidget(className, parent, name);
        QWidget* w = kind->create(parent);
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

// Says why a panel could not be loaded, in one line, and gives LoadPanel's failure result.
int loadError(const std::string& path, const QString& reason) {
    // Both the path and the reason may hold outside bytes: the folder given on the command
    // line, a resource's own text quoted back by the XML reader.
    std::cerr << "zelmor engine: cannot load panel from \"" << Printable(path)
              << "\": " << Printable(reason.toStdString()) << std::endl;
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

// Binds the controls that name another control of the panel (the large display its channel
// selector and the chart whose colours it takes, the rate meter and the chart the timer whose
// rate they follow) once, here; a name the panel does not have is a fault of the resource.
QString bindCrossReferences(QWidget* window) {
    for (QWidget* w : window->findChildren<QWidget*>()) {
        const ControlKind* kind = KindOf(w);
        if (!kind || !kind->bind) continue;
        if (QString fault = kind->bind(w, window); !fault.isEmpty()) return fault;
    }
    return {};
}

}  // namespace

void SetResourceFolder(const std::string& folder) {
    resourceFolder = folder;
}

void RegisterCallbacks(const CallbackTable& table) {
    callbacks.clear();
    for (const auto& entry : table) callbacks[entry.name] = entry;
}

}  // namespace engine

using namespace engine;

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
    const int handle = NextPanelHandle();
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
        const ControlKind* kind = KindOf(w);
        if (!kind)
            return loadError(path, QString("control %1 is a %2, which the engine cannot drive")
                                       .arg(name, w->metaObject()->className()));
        Control c;
        c.id = id;
        c.widget = w;
        c.kind = kind;
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

    if (QString why = bindCrossReferences(window.get()); !why.isEmpty())
        return loadError(path, why);

    for (auto& [id, c] : panel->controls)
        c.kind->wire(c.widget,
                     {[handle, id = id](int event) { DispatchControlEvent(handle, id, event); },
                      [handle, id = id] { return DispatchTick(handle, id); }});
    // Every chart is fed from the start: the scans plotted, its recordings, its Record button.
    for (auto* chart : window->findChildren<StripChart*>()) FeedOf(chart);
    window->installEventFilter(new CloseWatcher(handle, window.get()));
    LimitFrames(window.get());
    ShowPortCeilings(window.get());
    ShowPortSource(window.get());
    HoldChartPlots(window.get());
    AddChartActions(window.get());
    AddViewMenu(window.get());
    HideHoverUnderMenus(window.get());
    panel->window = std::move(window);
    return AddPanel(std::move(panel));
}

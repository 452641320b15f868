#include "engine/panels/looks.h"

#include <QActionGroup>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QStyle>
#include <QStyleFactory>
#include <optional>

#include "engine/panels/recordings.h"
#include "engine/panels/settings.h"

namespace engine {
namespace {

const struct {
    Look look;
    const char* menuText;
} kLooks[] = {
    {Look::light, "&Light"},
    {Look::dark, "&Dark"},
    {Look::desktop, "D&esktop"},
};

Look applied = Look::desktop;
bool savedApplied = false;
// The desktop's own, kept the first time another look replaces it.
std::optional<QPalette> desktopPalette;
QString desktopStyle;

}  // namespace

Look SavedLook(std::string& problem) {
    SettingsRead read = ReadPlacedSettings();
    problem = read.notice;
    return read.settings.look.value_or(Look::desktop);
}

bool SaveLook(Look look) {
    return ChangeSettings([look](StoredSettings& s) { s.look = look; });
}

QPalette LookPalette(Look look) {
    if (look == Look::desktop) return desktopPalette ? *desktopPalette : QApplication::palette();
    QStyle* fusion = QStyleFactory::create("Fusion");
    QPalette p = fusion ? fusion->standardPalette() : QPalette();
    delete fusion;
    if (look == Look::light) {
        p.setColor(QPalette::Highlight, QColor(0x2a, 0x6f, 0xb0));  // white reads on it
        p.setColor(QPalette::ToolTipBase, QColor(0xff, 0xff, 0xff));
        p.setColor(QPalette::ToolTipText, Qt::black);
        return p;
    }
    const QColor window(0x2b, 0x2b, 0x2b), text(0xe6, 0xe6, 0xe6), dim(0x9a, 0x9a, 0x9a);
    for (auto [role, color] : {std::pair{QPalette::Window, window},
                               {QPalette::WindowText, text},
                               {QPalette::Base, QColor(0x1e, 0x1e, 0x1e)},
                               {QPalette::AlternateBase, QColor(0x35, 0x35, 0x35)},
                               {QPalette::Text, text},
                               {QPalette::Button, QColor(0x3a, 0x3a, 0x3a)},
                               {QPalette::ButtonText, text},
                               {QPalette::Highlight, QColor(0x2f, 0x6f, 0xb3)},
                               {QPalette::HighlightedText, QColor(Qt::white)},
                               {QPalette::ToolTipBase, QColor(0x3a, 0x3a, 0x3a)},
                               {QPalette::ToolTipText, text},
                               {QPalette::PlaceholderText, dim}})
        p.setColor(role, color);
    p.setColor(QPalette::Disabled, QPalette::Text, dim);
    p.setColor(QPalette::Disabled, QPalette::WindowText, dim);
    p.setColor(QPalette::Disabled, QPalette::ButtonText, dim);
    return p;
}

void ApplyLook(Look look) {
    if (!desktopPalette) {
        desktopPalette = QApplication::palette();
        desktopStyle = QApplication::style() ? QApplication::style()->name() : QString();
    }
    if (look == Look::desktop) {
        if (!desktopStyle.isEmpty() && QApplication::style()->name() != desktopStyle)
            QApplication::setStyle(desktopStyle);
    } else if (QApplication::style()->name() != QLatin1String("fusion")) {
        QApplication::setStyle("Fusion");
    }
    QApplication::setPalette(LookPalette(look));
    applied = look;
}

Look AppliedLook() {
    return applied;
}

void AddViewMenu(QWidget* window) {
    auto* bar = window->findChild<QMenuBar*>();
    if (!bar) return;
    if (!savedApplied) {
        savedApplied = true;
        const Look saved = CurrentSettings().look.value_or(Look::desktop);
        if (saved != Look::desktop) ApplyLook(saved);
        if (const QString notice = TakeSettingsNotice(); !notice.isEmpty())
            ChartFeed::sayBriefly(notice);
    }
    // Before the last menu (Help), as desktops place it.
    const QList<QAction*> menus = bar->actions();
    auto* view = new QMenu(QObject::tr("&View"), bar);
    bar->insertMenu(menus.size() > 1 ? menus.back() : nullptr, view);
    auto* group = new QActionGroup(view);
    for (const auto& l : kLooks) {
        QAction* a = view->addAction(QObject::tr(l.menuText));
        a->setCheckable(true);
        a->setObjectName(QString("engineLook_") + LookWord(l.look));
        group->addAction(a);
        QObject::connect(a, &QAction::triggered, a, [look = l.look] {
            ApplyLook(look);
            if (SaveLook(look)) return;
            const QString why = TakeSettingsNotice();  // where and why, the first time
            ChartFeed::sayBriefly(why.isEmpty() ? QObject::tr("The look could not be saved") : why);
        });
    }
    QObject::connect(view, &QMenu::aboutToShow, view, [view] {
        for (const auto& l : kLooks)
            if (auto* a = view->findChild<QAction*>(QString("engineLook_") + LookWord(l.look)))
                a->setChecked(l.look == applied);
    });
}

}  // namespace engine

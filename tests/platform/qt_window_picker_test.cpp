#include "platform/qt/qt_window_picker.hpp"

#include "platform/fake/fake_window_catalogue.hpp"
#include "platform/qt/detail/window_picker_dialog.hpp"
#include "tests/support/offscreen_application.hpp"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QLineEdit>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace platform {
namespace {

struct Cancelled {};
struct Failed {
    std::string reason;
};
using Outcome = std::variant<Cancelled, PickedContent, Failed>;

class RecordingObserver final : public PickerObserver {
public:
    void pickerCancelled() override { outcomes.emplace_back(Cancelled{}); }
    void pickerChose(PickedContent content) override { outcomes.emplace_back(std::move(content)); }
    void pickerFailed(std::string reason) override { outcomes.emplace_back(Failed{std::move(reason)}); }

    std::vector<Outcome> outcomes;
};

// The picker over a scripted catalogue, its dialog laid out off screen: no display needed.
// Every test ends with the dialog gone.
class QtWindowPickerTest : public ::testing::Test {
protected:
    static QApplication& application() { return test_support::offscreenApplication(); }

    void SetUp() override {
        application();
        catalogue.entries = {
            {{.id = 11, .pid = 101, .appName = "Editor", .processName = "editor", .title = "notes.txt"},
             {10, 20, 300, 200}},
            {{.id = 12, .pid = 102, .appName = "", .processName = "term", .title = "shell"}, {0, 0, 50, 50}},
            {{.id = 13, .pid = 103, .appName = "Viewer", .processName = "viewer", .title = ""}, {5, 5, 10, 10}},
        };
        picker = std::make_unique<QtWindowPicker>(catalogue);
        picker->addObserver(observer);
    }

    void TearDown() override {
        picker.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(dialog(), nullptr) << "the picker should leave no dialog behind";
    }

    // dialog: the picker dialog that is shown, or null.
    static detail::WindowPickerDialog* dialog() {
        for (auto* widget : QApplication::topLevelWidgets()) {
            auto* found = dynamic_cast<detail::WindowPickerDialog*>(widget);
            if (found != nullptr && found->isVisible()) return found;
        }
        return nullptr;
    }

    FakeWindowCatalogue catalogue;
    std::shared_ptr<RecordingObserver> observer = std::make_shared<RecordingObserver>();
    std::unique_ptr<QtWindowPicker> picker;
};

TEST_F(QtWindowPickerTest, OffersTheCataloguesWindowsNamedByAppOrProcess) {
    picker->configure({.excludedPIDs = {7, 8}});
    picker->setActive(true);
    picker->present();

    auto* shown = dialog();
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->shownRows(),
              (std::vector<QString>{"Editor: notes.txt", "term: shell", "Viewer"}));
    EXPECT_EQ(catalogue.lastExcludedPIDs, (std::vector<int>{7, 8}));
    ASSERT_TRUE(catalogue.lastOwnWindow.has_value()) << "the dialog's own window should be left out";
    EXPECT_EQ(catalogue.pictured, (std::vector<WindowID>{11, 12, 13}));
    EXPECT_TRUE(observer->outcomes.empty());

    picker->present();
    EXPECT_EQ(catalogue.lists, 1) << "presenting a shown picker only raises it";
    picker->setActive(false);
}

TEST_F(QtWindowPickerTest, TellsTheChosenWindowWithItsBoundsAndCloses) {
    picker->setActive(true);
    picker->present();
    ASSERT_NE(dialog(), nullptr);
    dialog()->accept();

    ASSERT_EQ(observer->outcomes.size(), 1u);
    const auto* chosen = std::get_if<PickedContent>(&observer->outcomes[0]);
    ASSERT_NE(chosen, nullptr);
    ASSERT_EQ(chosen->includedWindows.size(), 1u);
    EXPECT_EQ(chosen->includedWindows[0], catalogue.entries[0].window);
    EXPECT_EQ(chosen->contentRect, catalogue.entries[0].bounds);
    EXPECT_EQ(dialog(), nullptr);
}

TEST_F(QtWindowPickerTest, EndsEachPresentInOneOutcome) {
    struct Case {
        const char* name;
        bool active;
        std::optional<std::string> listError;
        bool cancel;
        Outcome want;
    };
    const Case cases[] = {
        {"cancelled", true, std::nullopt, true, Cancelled{}},
        {"list fails", true, "The window manager keeps no client list.", false,
         Failed{"The window manager keeps no client list."}},
        {"inactive", false, std::nullopt, false, Failed{"The window picker isn't active."}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        observer->outcomes.clear();
        catalogue.listError = c.listError;
        picker->setActive(c.active);
        picker->present();
        if (c.cancel) {
            ASSERT_NE(dialog(), nullptr);
            dialog()->reject();
        }
        ASSERT_EQ(observer->outcomes.size(), 1u);
        EXPECT_EQ(observer->outcomes[0].index(), c.want.index());
        if (const auto* failed = std::get_if<Failed>(&c.want)) {
            EXPECT_EQ(std::get<Failed>(observer->outcomes[0]).reason, failed->reason);
        }
        EXPECT_EQ(dialog(), nullptr);
    }
}

TEST_F(QtWindowPickerTest, MadeInactiveClosesWithoutTelling) {
    picker->setActive(true);
    picker->present();
    ASSERT_NE(dialog(), nullptr);
    picker->setActive(false);
    EXPECT_EQ(dialog(), nullptr);
    EXPECT_TRUE(observer->outcomes.empty());
}

// The dialog never shows an empty list without a word, and what it says is true: windows that
// are minimized or on another desktop are open, only not offered.
TEST_F(QtWindowPickerTest, AnEmptyListSaysWhyItIsEmpty) {
    detail::WindowPickerDialog picking([](std::optional<std::size_t>) {});
    EXPECT_EQ(picking.emptyText().toStdString(),
              "No other window is on screen. Minimized windows and windows on other desktops aren't listed.");

    picking.setRows({{"Editor: notes.txt", {}}, {"term: shell", {}}});
    EXPECT_EQ(picking.emptyText(), QString());
    auto* filter = picking.findChild<QLineEdit*>();
    ASSERT_NE(filter, nullptr);
    filter->setText("zzz ");
    EXPECT_TRUE(picking.shownRows().empty());
    EXPECT_EQ(picking.emptyText().toStdString(), "No window matches \u201Czzz\u201D.");
    filter->setText("SHELL");
    EXPECT_EQ(picking.shownRows(), std::vector<QString>{"term: shell"});
    EXPECT_EQ(picking.emptyText(), QString());
}

}  // namespace
}  // namespace platform

#include "ui/help/TFormManual.h"

#include "support/SilentAudio.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QTest>
#include <QTextBrowser>
#include <functional>
#include <memory>
#include <string>

#include "host/config/Settings.h"
#include "support/TempFolder.h"
#include "ui/main/TFormMain.h"
#include "ui/support/ModalCloser.h"
#include "ui/support/ProgramFolderTest.h"

namespace {

using testing_support::ReadFile;
using testing_support::RomWith;
namespace keys = config::keys;
using namespace std::string_view_literals;

// The main window with its message boxes recorded instead of shown.
class QuietFormMain : public TFormMain {
  public:
    using TFormMain::TFormMain;
    QStringList messages;

  protected:
    void ShowMessage(QMessageBox::Icon, const QString& title, const QString& text) override {
        messages.push_back(title + ": " + text);
    }
    bool AskYesNo(QMessageBox::Icon, const QString&, const QString&) override { return false; }
};

class ManualWindowTest : public ProgramFolderTest {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(ProgramFolderTest::SetUp());
        settings_.SetPath(keys::kRomFile, folder_.Write("test.rom", RomWith("\xC3\x00\xF0"sv)));
    }
    void TearDown() override {
        form_.reset();
        ProgramFolderTest::TearDown();
    }
    QuietFormMain& Show() {
        form_ = std::make_unique<QuietFormMain>(settings_, nullptr, SilentAudio());
        form_->show();
        return *form_;
    }
    void Trigger(const char* name) {
        QAction* action = form_->findChild<QAction*>(name);
        ASSERT_NE(action, nullptr) << name;
        action->trigger();
    }
    QString Shown() const { return form_->Manual()->Browser()->toPlainText(); }

    ModalCloser modals_;
    std::unique_ptr<QuietFormMain> form_;
};

// A small manual of the shape the delivered one has: the keyboard map is one chapter, with a
// picture and a subsection, and a code block whose comment line looks like a heading.
const char* const kEnglish =
    "# The manual\n\nFirst start.\n\n"
    "## Typing <a name=\"keyboard\"></a>\n\nHost keys.\n\n![map](manual/keys.png)\n\n"
    "```\n# not a heading\n```\n\n### Special keys\n\nEsc is Esc.\n\n"
    "## Tapes\n\nThe browser.\n";

TEST_F(ManualWindowTest, TheKeyboardMapAloneWithItsPictureAndTheWholeManualAfterIt) {
    folder_.Write("doc/MANUAL.md", kEnglish);
    folder_.Write("doc/manual/keys.png", "");
    QImage picture(8, 4, QImage::Format_RGB32);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(QString::fromStdString(folder_.Path() + "doc/manual/keys.png")));
    Show();

    Trigger("MiKeyboard");
    ASSERT_NE(form_->Manual(), nullptr);
    EXPECT_TRUE(form_->Manual()->isVisible());
    EXPECT_TRUE(Shown().contains("Host keys.")) << Shown().toStdString();
    EXPECT_TRUE(Shown().contains("Esc is Esc."));
    EXPECT_TRUE(Shown().contains("# not a heading"));
    EXPECT_FALSE(Shown().contains("First start."));
    EXPECT_FALSE(Shown().contains("The browser."));
    const QVariant image = form_->Manual()->Browser()->loadResource(QTextDocument::ImageResource,
                                                                    QUrl("manual/keys.png"));
    EXPECT_EQ(QImage::fromData(image.toByteArray()).size(), QSize(8, 4));
    EXPECT_EQ(form_->Manual()->windowTitle(), "Keyboard map");

    // The whole manual replaces the section, in the same window.
    Trigger("MiManual");
    EXPECT_TRUE(Shown().contains("First start."));
    EXPECT_TRUE(Shown().contains("The browser."));
    EXPECT_TRUE(form_->messages.isEmpty()) << form_->messages.join("; ").toStdString();
}

TEST_F(ManualWindowTest, TheTranslationWhereThereIsOneElseEnglishElseTheFailureIsReported) {
    settings_.Set(keys::kLanguage, "german");
    Show();
    Trigger("MiManual");
    ASSERT_EQ(form_->messages.size(), 1);
    EXPECT_TRUE(form_->messages[0].startsWith("Handbuch: ")) << form_->messages[0].toStdString();
    EXPECT_TRUE(form_->messages[0].contains(QString::fromStdString(folder_.Path() + "doc/")));
    EXPECT_FALSE(form_->Manual()->isVisible());

    folder_.Write("doc/MANUAL.md", kEnglish);
    Trigger("MiManual");
    EXPECT_TRUE(Shown().contains("First start."));
    folder_.Write("doc/MANUAL.de.md", "# Handbuch\n\nErster Start.\n");
    Trigger("MiManual");
    EXPECT_TRUE(Shown().contains("Erster Start.")) << Shown().toStdString();
    EXPECT_EQ(form_->Manual()->windowTitle(), "Handbuch des Tevrin-Emulators");
    // The German manual has no keyboard map: that is a failure to show it, not a blank window.
    Trigger("MiKeyboard");
    EXPECT_EQ(form_->messages.size(), 2);
}

// What a user can give the window: every menu command by its caption and every key a command
// has, as the window itself holds them, so a command added later cannot go undocumented.
TEST_F(ManualWindowTest, TheDeliveredManualNamesEveryCommandAndKeyOfTheMainWindow) {
    const QString manual = QString::fromStdString(ReadFile(TEVRIN_SOURCE_DIR "/docs/MANUAL.md"));
    ASSERT_FALSE(manual.isEmpty());
    Show();
    // Named as a whole: Alt+F1 is not found inside Alt+F12, nor Sound inside Sounds.
    auto named = [&manual](const QString& name) {
        return manual.contains(QRegularExpression(
            "(?<![A-Za-z0-9+])" + QRegularExpression::escape(name) + "(?![A-Za-z0-9])"));
    };
    QStringList missing;
    int captions = 0;
    std::function<void(QMenu*)> walk = [&](QMenu* menu) {
        for (QAction* action : menu->actions()) {
            if (action->isSeparator()) continue;
            // The recent files are the user's own, not commands.
            if (action->objectName().startsWith("MiRF")) continue;
            QString caption = action->text().remove('&');
            if (caption.endsWith("...")) caption.chop(3);
            ++captions;
            if (!named(caption)) missing << "menu entry \"" + caption + "\"";
            if (action->menu() != nullptr) walk(action->menu());
        }
    };
    for (QAction* title : form_->menuBar()->actions()) {
        if (title->menu() != nullptr) walk(title->menu());
    }
    int keys = 0;
    for (QAction* action : form_->findChildren<QAction*>()) {
        for (const QKeySequence& shortcut : action->shortcuts()) {
            const QString key = shortcut.toString(QKeySequence::PortableText);
            ++keys;
            if (!named(key)) missing << "key " + key + " (" + action->objectName() + ")";
        }
    }
    EXPECT_GT(captions, 30);
    EXPECT_GT(keys, 20);
    EXPECT_TRUE(missing.isEmpty()) << "not in docs/MANUAL.md: " << missing.join(", ").toStdString();
}

}  // namespace

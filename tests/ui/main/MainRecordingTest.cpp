#include "ui/main/MainRecording.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QStatusBar>
#include <QTest>
#include <filesystem>
#include <string_view>

#include "support/SilentAudio.h"
#include "support/TempFolder.h"
#include "ui/common/OutcomeReport.h"
#include "ui/main/TFormMain.h"
#include "ui/support/ModalCloser.h"
#include "ui/support/ProgramFolderTest.h"

namespace {

using testing_support::ReadFile;
namespace keys = config::keys;
using namespace std::string_view_literals;

class RecordingTest : public ProgramFolderTest {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(ProgramFolderTest::SetUp());
        settings_.SetPath(keys::kRomFile,
                          folder_.Write("test.rom", testing_support::RomWith("\xC3\x00\x00"sv)));
    }
    void TearDown() override {
        form_.reset();
        ProgramFolderTest::TearDown();
    }
    static ModalCloser::Step ChooseFile(const std::string& path) {
        return [path](QWidget* window) {
            auto* dialog = qobject_cast<QFileDialog*>(window);
            if (dialog == nullptr) return false;
            dialog->selectFile(QString::fromStdString(path));
            QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
            return true;
        };
    }
    std::unique_ptr<TFormMain> form_;
};

TEST_F(RecordingTest, MenuItemsStartAndFinishFilesWithAMarkMeanwhileAndRefuseAnUnknownFormat) {
    form_ = std::make_unique<TFormMain>(settings_, nullptr, SilentAudio());
    TFormMain& form = *form_;
    form.show();
    QAction* video = form.findChild<QAction*>("MiRecordVideo");
    QAction* sound = form.findChild<QAction*>("MiRecordSound");
    auto* mark = form.findChild<QLabel*>("LabelRecording");
    ASSERT_TRUE(video && sound && mark);
    EXPECT_TRUE(mark->isHidden());

    const std::string mkv = folder_ / "session.mkv";
    const std::string wav = folder_ / "session.wav";
    {
        ModalCloser closer({ChooseFile(mkv), ChooseFile(wav)});
        video->trigger();
        sound->trigger();
        EXPECT_TRUE(closer.AllDone()) << closer.Closed().join(", ").toStdString();
    }
    EXPECT_TRUE(video->isChecked());
    EXPECT_TRUE(sound->isChecked());
    EXPECT_FALSE(mark->isHidden());
    EXPECT_TRUE(mark->toolTip().contains("session.mkv") && mark->toolTip().contains("session.wav"));
    QTest::qWait(400);
    // Until it is finished the file is not there under its name.
    EXPECT_FALSE(std::filesystem::exists(mkv));

    video->trigger();
    EXPECT_EQ(ShownOutcome(form.statusBar()), "Recording saved to " + QString::fromStdString(mkv));
    EXPECT_FALSE(video->isChecked());
    EXPECT_FALSE(mark->isHidden()) << "the sound still records";
    sound->trigger();
    EXPECT_TRUE(mark->isHidden());
    const std::string file = ReadFile(mkv);
    ASSERT_GT(file.size(), 4u);
    EXPECT_EQ(file.substr(0, 4), "\x1A\x45\xDF\xA3") << "a Matroska file starts with its EBML mark";
    const std::string pcm = ReadFile(wav);
    ASSERT_GT(pcm.size(), 44u);
    EXPECT_EQ(pcm.substr(0, 4), "RIFF");
    // Some of the 400 ms were recorded (44 stereo frames of 4 bytes per emulated millisecond).
    EXPECT_GT(pcm.size() - 44, 100u * 44 * 4);

    QString message;
    ModalCloser closer({ChooseFile(folder_ / "session.avi"), [&message](QWidget* window) {
                            auto* box = qobject_cast<QMessageBox*>(window);
                            if (box == nullptr) return false;
                            message = box->text();
                            box->accept();
                            return true;
                        }});
    video->trigger();
    EXPECT_TRUE(closer.AllDone()) << closer.Closed().join(", ").toStdString();
    EXPECT_TRUE(message.contains("session.avi") && message.contains(".mkv"))
        << message.toStdString();
    EXPECT_FALSE(video->isChecked());
    EXPECT_TRUE(mark->isHidden());
}

}  // namespace

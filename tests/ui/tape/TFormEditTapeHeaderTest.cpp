#include "ui/tape/TFormEditTapeHeader.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include "host/lang/Language.h"
#include "ui/support/ModalCloser.h"

namespace {

class EditTapeHeaderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(lang::ActiveLanguage().Load(TEVRIN_SOURCE_DIR "/resources/Lang", "english"));
        tape::RecordHeader header;
        header.number = 0x03;
        header.fileType = 0x02;
        dialog_.SetHeader(header);
        dialog_.show();
    }
    void TearDown() override { lang::ActiveLanguage().Unload(); }

    void Replace(const char* name, const char* text) {
        auto* edit = dialog_.findChild<QLineEdit*>(name);
        ASSERT_NE(edit, nullptr) << name;
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(edit, text);
    }
    void ClickOk() { QTest::mouseClick(dialog_.findChild<QPushButton*>("BtnOk"), Qt::LeftButton); }

    TFormEditTapeHeader dialog_{nullptr};
};

// Number 7 typed over the shown 03 is record 7, not 70h.
TEST_F(EditTapeHeaderTest, AShortNumberIsTheNumberTyped) {
    Replace("MeNumber", "7");
    dialog_.findChild<QComboBox*>("CbType")->setCurrentIndex(3);
    Replace("MeType", "1f");
    ClickOk();
    EXPECT_EQ(dialog_.result(), QDialog::Accepted);
    EXPECT_EQ(dialog_.Header().number, 0x07);
    EXPECT_EQ(dialog_.Header().fileType, 0x1F);
}

// A number that would touch the mark bit is refused with the field's name and range, never
// changed into another number.
TEST_F(EditTapeHeaderTest, ANumberAbove7FIsRefused) {
    QString said;
    {
        ModalCloser answer({[&](QWidget* window) {
            auto* box = qobject_cast<QMessageBox*>(window);
            if (box == nullptr) return false;
            said = box->text();
            box->accept();
            return true;
        }});
        Replace("MeNumber", "9xA");
        EXPECT_EQ(dialog_.findChild<QLineEdit*>("MeNumber")->text(), "9A");
        ClickOk();
        EXPECT_TRUE(answer.AllDone()) << answer.Closed().join(", ").toStdString();
    }
    EXPECT_EQ(said, "Number must be 0 to 7F.");
    EXPECT_TRUE(dialog_.isVisible()) << "stays open to be put right";
    EXPECT_NE(dialog_.result(), QDialog::Accepted);
    EXPECT_EQ(dialog_.Header().number, 0x03);
    EXPECT_EQ(dialog_.focusWidget(), dialog_.findChild<QLineEdit*>("MeNumber"));
}

}  // namespace

#include "ui/main/TFormAbout.h"

#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <algorithm>

#include "Version.h"
#include "host/files/ProgramPaths.h"
#include "ui/common/ProgramIcons.h"

namespace {

QLabel* AddLabel(QWidget* parent, QVBoxLayout* layout, const char* name, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignHCenter);
    layout->addWidget(label);
    return label;
}

}  // namespace

TFormAbout::TFormAbout(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
    setObjectName("FormAbout");
    setWindowTitle("About");
    setModal(true);
    setAutoFillBackground(true);
    // Without a frame the edge of the box would vanish against a window of the same colour.
    setStyleSheet("TFormAbout { border: 1px solid palette(dark); }");

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 18, 24, 14);
    auto* picture = new QLabel(this);
    picture->setObjectName("ImgLogo");
    picture->setPixmap(icons::Pixmap(icons::kApplication, 64));
    picture->setAlignment(Qt::AlignHCenter);
    layout->addWidget(picture);

    QLabel* title = AddLabel(this, layout, "LblTitle", "Tevrin Emulator");
    QFont bold = title->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.4);
    title->setFont(bold);
    AddLabel(this, layout, "LblVersion", VersionText());
    AddLabel(this, layout, "LblDescription", "An emulator of the Tevrin eight-bit computer");
    layout->addSpacing(8);
    AddLabel(this, layout, "LblClose", "Click anywhere to close.");
}

QString TFormAbout::VersionText() {
    QString text = "v" + QString::fromStdString(program::ProgramVersion());
#if TEVRIN_PRERELEASE
    text += " (Beta)";
#endif
#ifndef NDEBUG
    text += " (Debug)";
#endif
    return text;
}

void TFormAbout::CentreOver(const QWidget& owner) {
    adjustSize();
    const QRect area = owner.frameGeometry();
    const int x = area.x() + (area.width() - width()) / 2;
    const int y = area.y() + (area.height() - height()) / 2;
    move(std::max(0, x), std::max(0, y));
}

void TFormAbout::mousePressEvent(QMouseEvent* event) {
    event->accept();
    accept();
}

#include "ui/common/OutcomeReport.h"

#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QStatusBar>
#include <QTimer>

namespace {

constexpr char kLineName[] = "OutcomeLine";
constexpr char kGenerationProperty[] = "outcomeGeneration";

QPointer<QStatusBar>& MainBar() {
    static QPointer<QStatusBar> bar;
    return bar;
}

QStatusBar* BarFor(QWidget* from) {
    if (from != nullptr) {
        // Asking a QMainWindow for statusBar() would make one; only a bar it already has counts.
        if (auto* window = qobject_cast<QMainWindow*>(from->window())) {
            if (auto* own = window->findChild<QStatusBar*>(QString(), Qt::FindDirectChildrenOnly))
                return own;
        }
    }
    return MainBar().data();
}

QLabel* LineOf(const QStatusBar* bar) {
    return bar->findChild<QLabel*>(kLineName);
}

void Show(QStatusBar* bar, const QString& text) {
    QLabel* line = LineOf(bar);
    if (line == nullptr) {
        bar->showMessage(text, kOutcomeShownMs);
        return;
    }
    line->setText(text);
    line->setToolTip(text);
    // A later line must not be cleared by the timer of an earlier one.
    const int generation = line->property(kGenerationProperty).toInt() + 1;
    line->setProperty(kGenerationProperty, generation);
    QTimer::singleShot(kOutcomeShownMs, line, [line, generation] {
        if (line->property(kGenerationProperty).toInt() == generation) line->clear();
    });
}

}  // namespace

void SetMainStatusBar(QStatusBar* bar) {
    MainBar() = bar;
}

void AddOutcomeLine(QStatusBar* bar) {
    auto* line = new QLabel(bar);
    line->setObjectName(kLineName);
    line->setTextFormat(Qt::PlainText);
    line->setMinimumWidth(0);
    line->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    bar->addWidget(line, 1);
}

QString ShownOutcome(const QStatusBar* bar) {
    if (bar == nullptr) return {};
    if (const QLabel* line = LineOf(bar)) return line->text();
    return bar->currentMessage();
}

void ReportOutcome(QWidget* from, Outcome outcome, const QString& text, const QString& title) {
    if (QStatusBar* bar = BarFor(from)) Show(bar, text);
    if (outcome == Outcome::Done) return;
    const QString caption =
        !title.isEmpty() || from == nullptr ? title : from->window()->windowTitle();
    if (outcome == Outcome::Refused)
        QMessageBox::information(from, caption, text);
    else
        QMessageBox::warning(from, caption, text);
}

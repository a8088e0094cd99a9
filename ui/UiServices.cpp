#include "UiServices.h"

#include <algorithm>

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QThread>
#include <QVBoxLayout>

void TDesktopServices::ShowDialog(QWidget* owner, TDialogIcon icon, const QString& title,
                                  const QString& text) {
    QMessageBox::Icon shown = QMessageBox::NoIcon;
    if (icon == TDialogIcon::Information) shown = QMessageBox::Information;
    if (icon == TDialogIcon::Error) shown = QMessageBox::Critical;
    QMessageBox box(shown, title, text, QMessageBox::Ok, owner);
    box.exec();
}

void TDesktopServices::ApplicationError(QWidget* owner, const QString& text) {
    QMessageBox::critical(owner, QApplication::applicationDisplayName(), text);
}

void TDesktopServices::OpenUrl(const QUrl& url) {
    QDesktopServices::openUrl(url);
}

QString TDesktopServices::BrowseForFolder(QWidget* owner, const QString& caption,
                                          const QString& startFolder) {
    return QFileDialog::getExistingDirectory(owner, caption, startFolder);
}

std::optional<int> TDesktopServices::AskInteger(QWidget* owner, const QString& title,
                                                const QString& label, int value, int minimum,
                                                int maximum) {
    bool ok = false;
    const int answer = QInputDialog::getInt(owner, title, label, value, minimum, maximum, 1, &ok);
    if (!ok) return std::nullopt;
    return answer;
}

std::optional<int> TDesktopServices::ChooseItem(QWidget* owner, const QString& title,
                                                const QString& label, const QStringList& items) {
    // A list rather than a combo box: the texts are long and may be alike, and an index,
    // not a text, says which one was meant.
    QDialog dialog(owner);
    dialog.setWindowTitle(title);
    auto* layout = new QVBoxLayout(&dialog);
    auto* caption = new QLabel(label, &dialog);
    caption->setTextFormat(Qt::PlainText);
    layout->addWidget(caption);
    auto* list = new QListWidget(&dialog);
    list->addItems(items);
    list->setCurrentRow(0);
    // As wide as the longest text and as high as the items, up to a screenful's part.
    list->setMinimumWidth(std::min(list->sizeHintForColumn(0) + 40, 700));
    list->setFixedHeight(std::min(list->sizeHintForRow(0) * static_cast<int>(items.size()), 240) +
                         2 * list->frameWidth() + 4);
    layout->addWidget(list);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QObject::connect(list, &QListWidget::itemDoubleClicked, &dialog, &QDialog::accept);
    if (dialog.exec() != QDialog::Accepted || list->currentRow() < 0) return std::nullopt;
    return list->currentRow();
}

void TDesktopServices::Flash(QWidget* window) {
    QApplication::alert(window, 0);
}

void TDesktopServices::Sleep(int milliseconds) {
    QThread::msleep(static_cast<unsigned long>(milliseconds));
}

#include "DirectoryEdit.h"

#include <QAction>
#include <QDir>
#include <QStyle>
#include <QToolButton>

#include "UiServices.h"

TDirectoryEdit::TDirectoryEdit(TUiServices& services, QWidget* parent)
    : QLineEdit(parent), services_(services) {
    browse_ = addAction(style()->standardIcon(QStyle::SP_DirOpenIcon), QLineEdit::TrailingPosition);
    connect(browse_, &QAction::triggered, this, &TDirectoryEdit::Browse);
}

void TDirectoryEdit::SetBrowseHint(const QString& hint) {
    browse_->setToolTip(hint);
    for (QToolButton* button : findChildren<QToolButton*>()) {
        button->setToolTip(hint);
        button->setAccessibleName(hint);
    }
}

void TDirectoryEdit::Browse() {
    // Start where the text points when that folder exists, else at the initial folder.
    const QString start = QDir(text()).exists() ? text() : initialFolder_;
    const QString chosen = services_.BrowseForFolder(this, dialogText_, start);
    if (!chosen.isEmpty()) setText(QDir::toNativeSeparators(chosen));
}

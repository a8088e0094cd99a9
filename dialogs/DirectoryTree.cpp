#include "DirectoryTree.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QScrollBar>

TDirectoryTree::TDirectoryTree(QWidget* parent) : QTreeView(parent) {
    model_ = new QFileSystemModel(this);
    model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    model_->setReadOnly(true);
    model_->setRootPath(QDir::rootPath());
    setModel(model_);
    for (int column = 1; column < model_->columnCount(); ++column) hideColumn(column);
    setHeaderHidden(true);
    setUniformRowHeights(true);
    setAnimated(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Long folder names scroll sideways instead of being cut.
    header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    header()->setStretchLastSection(false);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { currentIndexChanged(current); });
    // The model reads and sorts folders in the background; rows arriving above the current
    // folder would push it out of sight. Until the user scrolls or clicks, keep it in view.
    const auto follow = [this] {
        if (following_) scrollTo(currentIndex(), QAbstractItemView::PositionAtCenter);
    };
    connect(model_, &QFileSystemModel::directoryLoaded, this, follow);
    connect(model_, &QAbstractItemModel::layoutChanged, this, follow);
    connect(model_, &QAbstractItemModel::rowsInserted, this, follow);
    connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this,
            [this] { following_ = false; });
    SetDirectory(QDir::currentPath());
}

bool TDirectoryTree::SetDirectory(const QString& path) {
    if (path.isEmpty()) return false;
    const QFileInfo info(QDir::cleanPath(path));
    if (!info.isDir()) return false;
    const QString folder = QDir::cleanPath(info.absoluteFilePath());
    const bool changed = folder != directory_;
    directory_ = folder;
    showCurrent();
    if (changed) emit Changed();
    return true;
}

void TDirectoryTree::Update() {
    const QDir dir(directory_);
    // Asking the model for a folder it has not seen yet adds it under its parent now, rather
    // than when the file system watcher gets round to it.
    const QStringList names = dir.entryList(QDir::AllDirs | QDir::NoDotAndDotDot);
    for (const QString& name : names) model_->index(dir.filePath(name));
    model_->index(directory_);
}

void TDirectoryTree::showCurrent() {
    const QModelIndex index = model_->index(directory_);
    if (!index.isValid()) return;  // a hidden folder: current, though the tree does not show it
    moving_ = true;
    following_ = true;
    // Only the path down to the folder stays open, as in a folder list.
    collapseAll();
    setCurrentIndex(index);
    expand(index);
    scrollTo(index, QAbstractItemView::PositionAtCenter);
    moving_ = false;
}

void TDirectoryTree::currentIndexChanged(const QModelIndex& current) {
    if (moving_ || !current.isValid()) return;
    following_ = false;
    const QString folder = QDir::cleanPath(model_->filePath(current));
    if (folder.isEmpty() || folder == directory_) return;
    directory_ = folder;
    emit Changed();
}

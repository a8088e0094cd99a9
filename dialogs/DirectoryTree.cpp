#include "DirectoryTree.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>

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
    // The model reads folders in the background; rows arriving above the current folder
    // would push it out of sight, so bring it back once its path has been read.
    connect(model_, &QFileSystemModel::directoryLoaded, this, [this](const QString& loaded) {
        const QString folder = QDir::cleanPath(loaded);
        const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + '/';
        if (directory_ == folder || directory_.startsWith(prefix))
            scrollTo(currentIndex(), QAbstractItemView::PositionAtCenter);
    });
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
    setCurrentIndex(index);
    expand(index);
    scrollTo(index, QAbstractItemView::PositionAtCenter);
    moving_ = false;
}

void TDirectoryTree::currentIndexChanged(const QModelIndex& current) {
    if (moving_ || !current.isValid()) return;
    const QString folder = QDir::cleanPath(model_->filePath(current));
    if (folder.isEmpty() || folder == directory_) return;
    directory_ = folder;
    emit Changed();
}

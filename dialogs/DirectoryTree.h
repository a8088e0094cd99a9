#pragma once

#include <QString>
#include <QTreeView>

class QFileSystemModel;

// A folder tree with one current folder: the folder the user clicked or the program moved
// it to. Only folders are shown. Asked to enter a folder that does not exist, it stays where
// it is.
class TDirectoryTree : public QTreeView {
    Q_OBJECT
public:
    explicit TDirectoryTree(QWidget* parent = nullptr);

    // Absolute and clean ("/" alone for the root, no trailing "/").
    QString Directory() const { return directory_; }
    // Moves into the folder; false, and no move, when there is no such folder.
    bool SetDirectory(const QString& path);
    // Re-reads the current folder, so that sub-folders made since show.
    void Update();
    QFileSystemModel* Model() const { return model_; }

signals:
    // The current folder changed, by the user or by SetDirectory.
    void Changed();

private:
    void showCurrent();
    void currentIndexChanged(const QModelIndex& current);

    QFileSystemModel* model_ = nullptr;
    QString directory_;
    bool moving_ = false;
    bool following_ = false;  // the view keeps the current folder in sight
};

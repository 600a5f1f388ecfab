// file_list_view.cpp -- the list control: file and folder drops from outside,
// row drags within the list, and the Delete key.
#include "file_list_view.h"

#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMimeData>

namespace bindwick {

namespace {

const char kRowDragFormat[] = "application/x-bindwick-list-rows";

}  // namespace

FileListView::FileListView(QWidget *parent) : QTreeWidget(parent) {
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDropIndicatorShown(true);
    // Rows dragged within the list are moved by the window, never removed
    // by the item view at the end of the drag.
    setDefaultDropAction(Qt::CopyAction);
}

QStringList FileListView::DroppedPaths(const QList<QUrl> &urls) {
    QStringList paths;
    for (const QUrl &url : urls) {
        if (url.isLocalFile()) paths << QFileInfo(url.toLocalFile()).absoluteFilePath();
    }
    return paths;
}

QMimeData *FileListView::mimeData(const QList<QTreeWidgetItem *> &items) const {
    QMimeData *data = QTreeWidget::mimeData(items);
    if (data != nullptr)
        data->setData(QString::fromLatin1(kRowDragFormat),
                      QByteArray::number(QCoreApplication::applicationPid()));
    return data;
}

bool FileListView::IsRowDrag(const QMimeData *data) {
    return data->data(QString::fromLatin1(kRowDragFormat)) ==
           QByteArray::number(QCoreApplication::applicationPid());
}

void FileListView::keyPressEvent(QKeyEvent *event) {
    if (event->matches(QKeySequence::Delete)) {
        emit deleteKeyPressed();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void FileListView::dragEnterEvent(QDragEnterEvent *event) {
    const QMimeData *data = event->mimeData();
    if (IsRowDrag(data) || !DroppedPaths(data->urls()).isEmpty()) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void FileListView::dragMoveEvent(QDragMoveEvent *event) {
    if (IsRowDrag(event->mimeData())) {
        // The item view draws the drop indicator; the move itself is the
        // window's, never the item view's.
        QTreeWidget::dragMoveEvent(event);
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void FileListView::dropEvent(QDropEvent *event) {
    const QMimeData *data = event->mimeData();
    if (IsRowDrag(data)) {
        const QPoint at = event->position().toPoint();
        const QModelIndex index = indexAt(at);
        int row = topLevelItemCount();
        if (index.isValid())
            row = index.row() + (at.y() > visualRect(index).center().y() ? 1 : 0);
        // Accepted as a copy: a move would make the item view delete the
        // dragged rows itself when the drag ends.
        event->setDropAction(Qt::CopyAction);
        event->accept();
        stopAutoScroll();
        setState(NoState);
        viewport()->update();
        emit rowsDropped(row);
        return;
    }
    const QStringList paths = DroppedPaths(data->urls());
    if (paths.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    emit filesDropped(paths);
}

}  // namespace bindwick

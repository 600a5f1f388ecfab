// FileListView: the main window's list control.
#pragma once

#include <QList>
#include <QStringList>
#include <QTreeWidget>
#include <QUrl>

class QMimeData;

namespace bindwick {

// The list control: a report of the images that also takes files and
// folders dropped from a file manager, and rows dragged within itself.
class FileListView : public QTreeWidget {
    Q_OBJECT

public:
    explicit FileListView(QWidget *parent = nullptr);

    // The local files and folders among `urls`, in their order.
    static QStringList DroppedPaths(const QList<QUrl> &urls);

    // The data of a drag of `items`: the item view's own, marked as rows of
    // this program's list so that a drop tells a move within the list from
    // anything else.
    QMimeData *mimeData(const QList<QTreeWidgetItem *> &items) const override;
    static bool IsRowDrag(const QMimeData *data);

signals:
    void filesDropped(const QStringList &paths);
    // The selected rows were dragged before row `row` (the row count for
    // the end).
    void rowsDropped(int row);
    // The Delete key was pressed in the list.
    void deleteKeyPressed();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
};

}  // namespace bindwick

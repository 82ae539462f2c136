#pragma once
// The items of the URL list as byte strings (Shift_JIS), shown through the editor codec.
// The view only ever sees rows; every command works on the bytes.
#include "text/func_token.h"
#include "text/item_width.h"

#include <QAbstractListModel>
#include <QStyledItemDelegate>
#include <vector>

class UrlListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    explicit UrlListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    const func_token::StringList &items() const { return m_items; }
    std::size_t size() const { return m_items.size(); }
    const std::string &item(std::size_t row) const { return m_items[row]; }

    // Replaces every item in one batch (the view's selection goes with them).
    void setItems(func_token::StringList items);
    // Keeps the items at the given rows (each at most once), in that order, moving them rather
    // than copying them; the others are dropped.
    void reorder(const std::vector<std::size_t> &rows);
    // Rewrites the items in place when the count stays the same, so the selection and the
    // focused row survive; otherwise as setItems.
    void rewriteItems(func_token::StringList items);
    // Appends at the end. Up to kInsertRows items are announced as inserted rows; more reset the
    // model in one batch, which the view lays out once instead of updating row by row.
    // Returns true when the model was reset.
    bool append(func_token::StringList items);
    static constexpr std::size_t kInsertRows = 1000;
    // Removes the given rows (ascending, no duplicates).
    void removeRowList(const std::vector<int> &rows);

    // The widest item's width in 1/64 pixel, under the advances given by setCharWidths; kept as
    // items change, so the view never measures every row.
    void setCharWidths(const item_width::CharWidths &widths);
    std::uint64_t widestItemWidth() const { return m_lastWidest; }

    // How many times the view has asked for an item's data (a test hook: the view must only
    // ever ask for the rows it shows).
    std::size_t dataRequests() const { return m_dataRequests; }

signals:
    void widestItemWidthChanged();

private:
    // Called after every change of the items, before the view is told that it ended (the view's
    // layout then reads the new width).
    void updateWidest();

    func_token::StringList m_items;
    item_width::WidestItem m_widest;
    std::uint64_t m_lastWidest = 0;
    mutable std::size_t m_dataRequests = 0;
};

// Draws the list's rows as usual; the size it gives every row is as wide as the widest item, so
// the horizontal scroll bar reaches the end of every item (the view asks one row for the size of
// all, as their sizes are uniform).
class UrlListDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    UrlListDelegate(UrlListModel *model, QWidget *view);
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    // The advances of the view's font, for the model's width tracking.
    static item_width::CharWidths charWidths(const QFont &font);

private:
    UrlListModel *m_model;
};

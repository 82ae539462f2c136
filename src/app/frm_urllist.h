#pragma once
// The items of the URL list as byte strings (Shift_JIS), shown through the editor codec.
// The view only ever sees rows; every command works on the bytes.
#include "text/func_token.h"

#include <QAbstractListModel>
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
    // Rewrites the items in place when the count stays the same, so the selection and the
    // focused row survive; otherwise as setItems.
    void rewriteItems(func_token::StringList items);
    void append(const func_token::StringList &items);
    // Removes the given rows (ascending, no duplicates).
    void removeRowList(const std::vector<int> &rows);

private:
    func_token::StringList m_items;
};

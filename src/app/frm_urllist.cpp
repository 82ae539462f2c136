#include "app/frm_urllist.h"

#include "encoding/editor_text_qt.h"

#include <iterator>

UrlListModel::UrlListModel(QObject *parent)
    : QAbstractListModel(parent)
{
}

int UrlListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_items.size());
}

QVariant UrlListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || static_cast<std::size_t>(index.row()) >= m_items.size()) return {};
    ++m_dataRequests;
    if (role == Qt::DisplayRole) return LineToQString(m_items[static_cast<std::size_t>(index.row())]);
    return {};
}

void UrlListModel::setItems(func_token::StringList items)
{
    beginResetModel();
    m_items = std::move(items);
    endResetModel();
}

void UrlListModel::reorder(const std::vector<std::size_t> &rows)
{
    func_token::StringList kept;
    kept.reserve(rows.size());
    for (const std::size_t row : rows)
        kept.push_back(std::move(m_items[row]));
    setItems(std::move(kept));
}

void UrlListModel::rewriteItems(func_token::StringList items)
{
    if (items.size() != m_items.size()) {
        setItems(std::move(items));
        return;
    }
    m_items = std::move(items);
    if (!m_items.empty()) emit dataChanged(index(0), index(static_cast<int>(m_items.size()) - 1), { Qt::DisplayRole });
}

bool UrlListModel::append(func_token::StringList items)
{
    if (items.empty()) return false;
    const auto moveIn = [&] {
        if (m_items.empty()) {
            m_items = std::move(items);
            return;
        }
        m_items.insert(m_items.end(), std::make_move_iterator(items.begin()), std::make_move_iterator(items.end()));
    };
    if (items.size() > kInsertRows) {
        beginResetModel();
        moveIn();
        endResetModel();
        return true;
    }
    const int first = static_cast<int>(m_items.size());
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(items.size()) - 1);
    moveIn();
    endInsertRows();
    return false;
}

void UrlListModel::removeRowList(const std::vector<int> &rows)
{
    if (rows.empty()) return;
    // Contiguous runs, from the last to the first, keep the view's other rows and focus;
    // a scattered selection over a long list is compacted in one pass instead.
    std::vector<std::pair<int, int>> runs; // first, last
    for (int row : rows) {
        if (!runs.empty() && runs.back().second + 1 == row)
            runs.back().second = row;
        else
            runs.emplace_back(row, row);
    }
    constexpr std::size_t kMaxRuns = 64;
    if (runs.size() <= kMaxRuns) {
        for (auto it = runs.rbegin(); it != runs.rend(); ++it) {
            beginRemoveRows(QModelIndex(), it->first, it->second);
            m_items.erase(m_items.begin() + it->first, m_items.begin() + it->second + 1);
            endRemoveRows();
        }
        return;
    }
    beginResetModel();
    func_token::StringList kept;
    kept.reserve(m_items.size() - rows.size());
    std::size_t next = 0;
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        if (next < rows.size() && static_cast<std::size_t>(rows[next]) == i) {
            ++next;
            continue;
        }
        kept.push_back(std::move(m_items[i]));
    }
    m_items = std::move(kept);
    endResetModel();
}

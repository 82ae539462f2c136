#include "app/url_list_model_qt.h"

#include "encoding/editor_text_qt.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QStyle>
#include <cmath>
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
    m_widest.reset(m_items);
    updateWidest();
    endResetModel();
}

void UrlListModel::setCharWidths(const item_width::CharWidths &widths)
{
    m_widest.setCharWidths(widths, m_items);
    updateWidest();
}

void UrlListModel::updateWidest()
{
    const std::uint64_t widest = m_widest.widest(m_items);
    if (widest == m_lastWidest) return;
    m_lastWidest = widest;
    emit widestItemWidthChanged();
}

void UrlListModel::reorder(const std::vector<std::size_t> &rows)
{
    func_token::StringList kept;
    kept.reserve(rows.size());
    for (const std::size_t row : rows)
        kept.push_back(std::move(m_items[row]));
    // The same items in another order are no wider.
    const bool sameItems = kept.size() == m_items.size();
    beginResetModel();
    m_items = std::move(kept);
    if (!sameItems) m_widest.reset(m_items);
    updateWidest();
    endResetModel();
}

void UrlListModel::rewriteItems(func_token::StringList items)
{
    if (items.size() != m_items.size()) {
        setItems(std::move(items));
        return;
    }
    m_items = std::move(items);
    m_widest.reset(m_items);
    updateWidest();
    if (!m_items.empty()) emit dataChanged(index(0), index(static_cast<int>(m_items.size()) - 1), { Qt::DisplayRole });
}

bool UrlListModel::append(func_token::StringList items)
{
    if (items.empty()) return false;
    for (const std::string &item : items)
        m_widest.add(item);
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
        updateWidest();
        endResetModel();
        return true;
    }
    const int first = static_cast<int>(m_items.size());
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(items.size()) - 1);
    moveIn();
    updateWidest();
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
            for (int row = it->first; row <= it->second; ++row)
                m_widest.remove(m_items[static_cast<std::size_t>(row)]);
            m_items.erase(m_items.begin() + it->first, m_items.begin() + it->second + 1);
            updateWidest();
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
            m_widest.remove(m_items[i]);
            ++next;
            continue;
        }
        kept.push_back(std::move(m_items[i]));
    }
    m_items = std::move(kept);
    updateWidest();
    endResetModel();
}

UrlListDelegate::UrlListDelegate(UrlListModel *model, QWidget *view)
    : QStyledItemDelegate(view)
    , m_model(model)
{
    // A new widest width lays the rows out again (the view listens to sizeHintChanged), once the
    // change of the items that brought it has ended.
    connect(
        model, &UrlListModel::widestItemWidthChanged, this, [this] { emit sizeHintChanged(QModelIndex()); },
        Qt::QueuedConnection);
    model->setCharWidths(charWidths(view->font()));
}

QSize UrlListDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QSize hint = QStyledItemDelegate::sizeHint(option, index);
    // The style puts a focus-frame margin and one pixel on each side of the text.
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    const int margins = 2 * (style->pixelMetric(QStyle::PM_FocusFrameHMargin, &option, widget) + 1);
    const auto widest = static_cast<double>(m_model->widestItemWidth()) / 64.0;
    hint.setWidth(std::max(hint.width(), static_cast<int>(std::ceil(widest)) + margins + 1));
    return hint;
}

item_width::CharWidths UrlListDelegate::charWidths(const QFont &font)
{
    const QFontMetricsF metrics(font);
    const auto units = [&](const QString &text) {
        return static_cast<std::uint32_t>(std::ceil(metrics.horizontalAdvance(text) * 64.0));
    };
    item_width::CharWidths widths;
    for (unsigned b = 0; b < 256; ++b) {
        const char byte = static_cast<char>(b);
        widths.single[b] = units(LineToQString(std::string_view(&byte, 1)));
    }
    // Double-byte characters are full width, kana in a proportional font a little less: the
    // widest of them is never too narrow.
    for (const char16_t c : { u'\u6F22', u'\uFF37', u'\u3042', u'\u30A2', u'\u2460' })
        widths.pair = std::max(widths.pair, units(QString(QChar(c))));
    return widths;
}

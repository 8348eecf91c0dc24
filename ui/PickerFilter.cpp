#include "PickerFilter.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <climits>

namespace velmora {

std::vector<std::size_t> PickerOrder(const std::vector<TPickerRow>& rows, const QString& filter) {
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    QStringList words = filter.split(blanks, Qt::SkipEmptyParts);
    for (QString& word : words) {
        word = word.toCaseFolded();
    }
    std::vector<std::size_t> order;
    for (std::size_t index = 0; index < rows.size(); ++index) {
        const QString folded = rows[index].shown.toCaseFolded();
        if (std::all_of(words.begin(), words.end(), [&folded](const QString& word) { return folded.contains(word); })) {
            order.push_back(index);
        }
    }
    // Typed rows by how recently, the others after them as the list has them.
    std::stable_sort(order.begin(), order.end(), [&rows](std::size_t a, std::size_t b) {
        const int ra = rows[a].recency < 0 ? INT_MAX : rows[a].recency;
        const int rb = rows[b].recency < 0 ? INT_MAX : rows[b].recency;
        return ra < rb;
    });
    return order;
}

} // namespace velmora

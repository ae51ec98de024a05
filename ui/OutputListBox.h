#pragma once

#include <QListWidget>
#include <QString>

namespace tevra {

// The output list: one line per alert, oldest first, never sorted, trimmed or
// scrolled by the program. Its horizontal scroll range follows the widest line.
class COutputListBox : public QListWidget {
    Q_OBJECT

public:
    explicit COutputListBox(QWidget* parent = nullptr);

    // Appends a line; the new line's index, or a negative value when it was not added.
    int AddString(const QString& line);
    // Deletes one line and re-measures the rest; the number of lines left, or a
    // negative value when there is no such line (then nothing changes).
    int DeleteString(int index);
    // Widens the scroll range when `line` is wider than every earlier one.
    void UpdateExtent(const QString& line);

    // The width last given to the list as its horizontal extent; 0 at construction.
    int widestExtent() const { return widestExtent_; }

protected:
    void updateGeometries() override;
    void changeEvent(QEvent* event) override;

private:
    int textWidth(QListWidgetItem& line) const;
    void applyExtent();

    int widestExtent_ = 0;
};

}  // namespace tevra

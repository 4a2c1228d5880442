#pragma once
// A captioned group of radio items with an item index, as the switch panel needs it:
// choosing a different item, by the operator or by SetItemIndex, raises Click once;
// choosing the item already chosen raises nothing. No item is chosen at start (-1).

#include <QGroupBox>
#include <QStringList>
#include <vector>

class QButtonGroup;
class QRadioButton;

class RadioGroup : public QGroupBox {
    Q_OBJECT
public:
    RadioGroup(const QString& caption, const QStringList& items, QWidget* parent);

    int ItemIndex() const { return itemIndex_; }
    void SetItemIndex(int index);
    QRadioButton* Item(int index) const { return buttons_.at(index); }
    int ItemCount() const { return static_cast<int>(buttons_.size()); }

signals:
    void Click();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void OperatorChose(int index);
    void PlaceItems();

    QButtonGroup* group_;
    std::vector<QRadioButton*> buttons_;
    int itemIndex_ = -1;
};

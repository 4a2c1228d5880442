#include "radio_group.h"

#include <QButtonGroup>
#include <QRadioButton>

RadioGroup::RadioGroup(const QString& caption, const QStringList& items, QWidget* parent)
    : QGroupBox(caption, parent), group_(new QButtonGroup(this))
{
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], this);
        group_->addButton(button, i);
        buttons_.push_back(button);
    }
    connect(group_, &QButtonGroup::idClicked, this, &RadioGroup::OperatorChose);
    PlaceItems();
}

void RadioGroup::SetItemIndex(int index)
{
    if (index == itemIndex_) return;
    if (index < 0 || index >= ItemCount()) {
        group_->setExclusive(false);
        for (auto* button : buttons_) button->setChecked(false);
        group_->setExclusive(true);
        itemIndex_ = -1;
    } else {
        buttons_[index]->setChecked(true);
        itemIndex_ = index;
    }
    emit Click();
}

void RadioGroup::OperatorChose(int index)
{
    if (index == itemIndex_) return;
    itemIndex_ = index;
    emit Click();
}

void RadioGroup::resizeEvent(QResizeEvent* event)
{
    QGroupBox::resizeEvent(event);
    PlaceItems();
}

void RadioGroup::PlaceItems()
{
    // Items stacked in equal rows below the caption, as a classic radio group lays them.
    const int top = 16;
    const int rows = std::max(1, ItemCount());
    const int rowHeight = std::max(14, (height() - top - 4) / rows);
    for (int i = 0; i < ItemCount(); ++i)
        buttons_[i]->setGeometry(8, top + i * rowHeight, std::max(20, width() - 12), std::min(rowHeight, 20));
}

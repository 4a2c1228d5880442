#include "window_set.h"

#include "direct_limits_window.h"
#include "file_dialogs.h"
#include "login_window.h"
#include "main_window.h"
#include "nominal_value_window.h"
#include "percent_limits_window.h"
#include "search_results_window.h"

WindowSet::WindowSet(ui::MessageBoxes& boxes, ui::FileDialogs* dialogs)
    : boxes_(boxes),
      ownDialogs_(dialogs ? nullptr : std::make_unique<ui::QtFileDialogs>()),
      dialogs_(dialogs ? dialogs : ownDialogs_.get()),
      store_(std::make_unique<records::RecordStore>(records::DatabasePath())),
      recorder_(*store_),
      watch_(*store_, recorder_)
{
    login_ = std::make_unique<TForm6>(*this);
    main_ = std::make_unique<TForm1>(*this);
    directLimits_ = std::make_unique<TForm2>(*main_->Com, buffer_, boxes_);
    percentLimits_ = std::make_unique<TForm3>(*main_->Com, buffer_, boxes_);
    searchResults_ = std::make_unique<TForm4>(*this);
    nominal_ = std::make_unique<TForm5>(*main_->Com, buffer_, boxes_);
}

WindowSet::~WindowSet()
{
    nominal_.reset();
    searchResults_.reset();
    percentLimits_.reset();
    directLimits_.reset();
    main_.reset();
    login_.reset();
}

void WindowSet::ShowOnlySettingWindow(const QWidget& chosen)
{
    for (QWidget* window : std::initializer_list<QWidget*>{directLimits_.get(), percentLimits_.get(), nominal_.get()})
        window->setVisible(window == &chosen);
}

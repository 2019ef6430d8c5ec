#pragma once
// Qt has no per-control validation event. FocusValidation raises one: when the focus leaves a
// watched text box for another widget of the same window, the box's handler runs, unless the widget
// that takes the focus (or a container of it) carries the dynamic property "causesValidation" set
// to false. A handler that sets its cancel flag keeps the focus in the box. An access key (Alt+H)
// presses its button without moving the focus; that counts as leaving the box for the button, so
// the box is validated before the button acts.
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <vector>

namespace app {

inline constexpr char kCausesValidationProperty[] = "causesValidation";

// Whether moving the focus to widget validates the box that loses it: true unless widget or one of
// its containers below the window says "causesValidation" = false.
bool CausesValidation(const QWidget* widget);

class FocusValidation : public QObject {
    Q_OBJECT
  public:
    using Handler = std::function<void(bool& cancel)>;

    // Watches focus changes inside window (which must outlive this object or be its parent).
    explicit FocusValidation(QWidget* window);

    void Watch(QWidget* box, Handler handler);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private slots:
    void onFocusChanged(QWidget* old, QWidget* now);

  private:
    // Runs the handler of `box` if it is watched; false when the handler cancelled.
    bool Validate(QWidget* box);

    struct Watched {
        QPointer<QWidget> box;
        Handler handler;
    };
    QWidget* window_;
    std::vector<Watched> watched_;
};

}  // namespace app

// Driving modal windows from a test: steps run on the windows of a type as
// they show, from a timer, while the code under test waits in their event
// loop.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

namespace tw::test {

// Runs the steps, one per showing, on the modal windows of type T as they
// show; gives up after a few seconds (the test then fails on what the steps
// did not do). A step that leaves its dialog open has it cancelled.
template <class T>
void WhenShownInTurn(std::vector<std::function<void(T*)>> steps) {
  auto* timer = new QTimer(qApp);
  auto next = std::make_shared<size_t>(0);
  auto started = std::make_shared<std::chrono::steady_clock::time_point>(std::chrono::steady_clock::now());
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, steps, next, started] {
    auto* window = qobject_cast<T*>(QApplication::activeModalWidget());
    const bool late = std::chrono::steady_clock::now() - *started > std::chrono::seconds(10);
    if ((!window || !window->isVisible()) && !late) return;
    if (!window || *next + 1 >= steps.size()) {
      timer->stop();
      timer->deleteLater();
    }
    if (!window) return;
    *started = std::chrono::steady_clock::now();
    steps[(*next)++](window);
    if (auto* dialog = qobject_cast<QDialog*>(window); dialog && dialog->isVisible()) dialog->reject();
  });
  timer->start();
}

template <class T>
void WhenShown(std::function<void(T*)> step) {
  WhenShownInTurn<T>({std::move(step)});
}

// A child widget by its object name; the test stops when there is none.
template <class W>
W* Child(QWidget* parent, const QString& name) {
  W* child = parent->findChild<W*>(name);
  if (!child) qFatal("no widget %s", qPrintable(name));
  return child;
}

}  // namespace tw::test

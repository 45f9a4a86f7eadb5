// A Qt window with one text field, for the tests of the focused control's
// text: run with QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 so that the field is
// reachable through AT-SPI. Prints "ready" once shown.
//
// Usage: orva_fieldwindow <title> <initial text>
#include <QApplication>
#include <QLineEdit>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <cstdio>

int main(int argc, char **argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.setWindowTitle(argc > 1 ? QString::fromUtf8(argv[1]) : QStringLiteral("Orva Field"));
  auto *layout = new QVBoxLayout(&window);
  auto *field = new QLineEdit(argc > 2 ? QString::fromUtf8(argv[2]) : QString());
  field->setObjectName(QStringLiteral("field"));
  layout->addWidget(field);
  window.resize(300, 80);
  window.show();
  field->setFocus();
  QTimer::singleShot(0, [] {
    std::printf("ready\n");
    std::fflush(stdout);
  });
  return app.exec();
}

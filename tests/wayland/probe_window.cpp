// A plain Qt window that reports what reaches it, so that the Wayland test
// desktop can be proved before any scenario runs: a click on its button and
// keys typed into its line edit are printed on stdout.
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdio>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.setWindowTitle("probe-window");
  auto* layout = new QVBoxLayout(&window);
  auto* button = new QPushButton("click me", &window);
  auto* edit = new QLineEdit(&window);
  button->setMinimumSize(200, 100);
  button->setFocusPolicy(Qt::NoFocus);  // typed keys go to the line edit
  layout->addWidget(button);
  layout->addWidget(edit);
  QObject::connect(button, &QPushButton::clicked, [] {
    std::printf("clicked\n");
    std::fflush(stdout);
  });
  QObject::connect(edit, &QLineEdit::returnPressed, [edit] {
    std::printf("typed %s\n", edit->text().toUtf8().constData());
    std::fflush(stdout);
  });
  window.setFixedSize(300, 200);  // a fixed size: sway floats it
  window.show();
  edit->setFocus();
  return app.exec();
}

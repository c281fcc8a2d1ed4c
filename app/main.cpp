#include <QApplication>

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Mevra音乐管家"));
  return 0;
}

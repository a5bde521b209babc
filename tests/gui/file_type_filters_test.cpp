// The program's "|"-separated file-type lists as the file requester's name filters, and the
// choice of the preselected entry.

#include <QTest>
#include <string>
#include <vector>

#include "shell/window/file_type_filters.h"

using dw::NameFiltersFromTypeList;
using dw::PreselectedEntry;
using Filters = std::vector<std::string>;

class FileTypeFiltersTest : public QObject {
  Q_OBJECT

 private slots:
  void listsOfTheProgram() {
    QCOMPARE(NameFiltersFromTypeList("D64 Image (*.d64)|*.d64|PRG Image (*.prg)|*.prg|"
                                     "all files (*.*)|*.*"),
             (Filters{"D64 Image (*.d64)", "PRG Image (*.prg)", "all files (*)"}));
    QCOMPARE(NameFiltersFromTypeList("D64 Image (*.d64)|*.d64|D71 Image (*.d71)|*.d71|"
                                     "D64 & D71 Image (*.d64;*.d71)|*.d64;*.d71|"
                                     "PRG Image (*.prg)|*.prg|all files (*.*)|*.*"),
             (Filters{"D64 Image (*.d64)", "D71 Image (*.d71)", "D64 & D71 Image (*.d64 *.d71)",
                      "PRG Image (*.prg)", "all files (*)"}));
  }

  void oddShapesStillGiveOneFilterPerName() {
    // A name without patterns, a trailing separator, a name without its own "(...)".
    QCOMPARE(NameFiltersFromTypeList("D81 Image (*.d81)|*.d81|"), (Filters{"D81 Image (*.d81)"}));
    QCOMPARE(NameFiltersFromTypeList("Everything"), (Filters{"Everything (*)"}));
    QCOMPARE(NameFiltersFromTypeList("Raw tracks|*.g64;;*.G64"),
             (Filters{"Raw tracks (*.g64 *.G64)"}));
    QCOMPARE(NameFiltersFromTypeList(""), Filters{});
    QCOMPARE(NameFiltersFromTypeList("|||"), Filters{});
  }

  void preselectedEntryStaysInTheList() {
    QCOMPARE(PreselectedEntry(0, 3), 0);
    QCOMPARE(PreselectedEntry(2, 3), 2);
    // The ROM dump asks for entry 4 of a three-entry save list: the last one is taken.
    QCOMPARE(PreselectedEntry(4, 3), 2);
    QCOMPARE(PreselectedEntry(-1, 3), 0);
    QCOMPARE(PreselectedEntry(3, 0), 0);
  }
};

QTEST_APPLESS_MAIN(FileTypeFiltersTest)
#include "file_type_filters_test.moc"

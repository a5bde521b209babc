// The desk of the real window: the event queue the program reads, and what each desk call
// shows or returns. Boxes and requesters are answered ahead of time.

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <QToolButton>
#include <optional>

#include "modal_helper.h"
#include "shell/window/command_bar.h"
#include "shell/window/directory_list.h"
#include "shell/window/qt_desk.h"
#include "shell/window/window_tables.h"

using dw::DeskEvent;
using dw::EventKind;
using dw::QtDesk;
using dw::testing::WhenModalShows;

namespace {

// Every event the desk holds right now, in order.
std::vector<DeskEvent> Drain(QtDesk& desk) {
  std::vector<DeskEvent> events;
  while (std::optional<DeskEvent> event = desk.TakeEvent()) events.push_back(*event);
  return events;
}

bool Is(const std::vector<DeskEvent>& events, EventKind kind, int id) {
  return events.size() == 1 && events[0].kind == kind && events[0].id == id;
}

void ShowAndWait(QtDesk& desk) {
  desk.window().show();
  QVERIFY(QTest::qWaitForWindowExposed(&desk.window()));
}

QPoint CentreOfLine(QListWidget* list, int row) {
  return list->visualItemRect(list->item(row)).center();
}

}  // namespace

class QtDeskTest : public QObject {
  Q_OBJECT

 private slots:
  // --- the event queue ---------------------------------------------------------------

  void menuSelectionQueuesItsCommand() {
    QtDesk desk;
    QVERIFY(Drain(desk).empty());
    desk.window().menuAction(32)->trigger();
    QVERIFY(Is(Drain(desk), EventKind::kCommand, 32));
    desk.window().menuAction(29)->trigger();
    desk.window().menuAction(28)->trigger();
    const std::vector<DeskEvent> events = Drain(desk);
    QCOMPARE(events.size(), size_t{2});
    QCOMPARE(events[0].id, 29);
    QCOMPARE(events[1].id, 28);
  }

  void checkMarkBelongsToTheProgram() {
    QtDesk desk;
    QAction* forty = desk.window().menuAction(40);
    forty->trigger();
    // The selection is only a request; the mark changes when the program sets it.
    QVERIFY(!forty->isChecked());
    QVERIFY(Is(Drain(desk), EventKind::kCommand, 40));
    desk.SetChecked(40, true);
    QVERIFY(forty->isChecked());
    forty->trigger();
    QVERIFY(forty->isChecked());
    QVERIFY(Is(Drain(desk), EventKind::kCommand, 40));
    desk.SetChecked(41, true);
    QVERIFY(desk.window().menuAction(41)->isChecked());
    desk.SetChecked(40, false);
    QVERIFY(!forty->isChecked());
    // Items that are not check items stay as they are.
    desk.SetChecked(28, true);
    QVERIFY(!desk.window().menuAction(28)->isChecked());
    // An item that carries a count says it.
    desk.SetItemText(dw::kCmdRetryTracks, "Retry damaged tracks (3 retries)");
    QCOMPARE(desk.window().menuAction(dw::kCmdRetryTracks)->text(),
             QString("Retry damaged tracks (3 retries)"));
  }

  void commandBarClickStaysDownUntilReleased() {
    QtDesk desk;
    ShowAndWait(desk);
    QToolButton* restore = desk.window().commandBar()->button(33);
    QTest::mouseClick(restore, Qt::LeftButton);
    QVERIFY(Is(Drain(desk), EventKind::kCommand, 33));
    QVERIFY(restore->isChecked());
    desk.SetCommandButtonsEnabled(false);
    desk.SetCommandButtonEnabled(33, true);
    QVERIFY(restore->isEnabled());
    QVERIFY(restore->isChecked());
    for (int other : {31, 32, 34, 35}) {
      QVERIFY(!desk.window().commandBar()->button(other)->isEnabled());
    }
    // A click on a disabled button goes nowhere.
    QTest::mouseClick(desk.window().commandBar()->button(31), Qt::LeftButton);
    QVERIFY(Drain(desk).empty());
    desk.ReleaseCommandButton(33);
    QVERIFY(!restore->isChecked());
    desk.SetCommandButtonsEnabled(true);
    for (int id = 31; id <= 35; ++id) QVERIFY(desk.window().commandBar()->button(id)->isEnabled());
  }

  void resetClickQueuesAndStaysDownUntilReleased() {
    QtDesk desk;
    ShowAndWait(desk);
    QVERIFY(!desk.IsResetDown());
    QTest::mouseClick(desk.window().resetButton(), Qt::LeftButton);
    QVERIFY(Is(Drain(desk), EventKind::kResetButton, 0));
    // Draining the event leaves the button down, which is how a running command sees it.
    QVERIFY(desk.IsResetDown());
    QVERIFY(desk.window().resetButton()->isChecked());
    desk.ReleaseReset();
    QVERIFY(!desk.IsResetDown());
  }

  void closeButtonOnlyAsks() {
    QtDesk desk;
    ShowAndWait(desk);
    QVERIFY(!desk.window().close());
    QVERIFY(desk.window().isVisible());
    QVERIFY(Is(Drain(desk), EventKind::kCloseRequest, 0));
    desk.Close();
    QVERIFY(!desk.window().isVisible());
  }

  void onlyTheUsersDeviceChoiceCounts() {
    QtDesk desk;
    ShowAndWait(desk);
    desk.AddDevice("8: 1541");
    desk.AddDevice("9: 1581");
    desk.SelectDevice(1);
    QCOMPARE(desk.SelectedDevice(), 1);
    QVERIFY(Drain(desk).empty());

    desk.SetDevicesEnabled(true);
    QComboBox* combo = desk.window().deviceCombo();
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Up);
    QCOMPARE(desk.SelectedDevice(), 0);
    QVERIFY(Is(Drain(desk), EventKind::kDeviceSelected, 0));

    desk.SelectDevice(7);
    QCOMPARE(desk.SelectedDevice(), -1);
    desk.ClearDevices();
    QCOMPARE(desk.DeviceCount(), 0);
    QCOMPARE(desk.SelectedDevice(), -1);
    QVERIFY(Drain(desk).empty());
  }

  void directoryLeftDoubleClickOnALineOnly() {
    QtDesk desk;
    ShowAndWait(desk);
    for (const char* line :
         {"0 \"GAMES           \" 01 2A", "12   \"ELITE\"            PRG", "652 BLOCKS FREE."}) {
      desk.AddDirectoryLine(line);
    }
    dw::DirectoryList* list = desk.window().directoryList();
    QWidget* viewport = list->viewport();

    QTest::mouseClick(viewport, Qt::LeftButton, {}, CentreOfLine(list, 1));
    QCOMPARE(desk.SelectedDirectoryLine(), 1);
    QVERIFY(Drain(desk).empty());

    QTest::mouseDClick(viewport, Qt::RightButton, {}, CentreOfLine(list, 1));
    QVERIFY(Drain(desk).empty());

    QTest::mouseDClick(viewport, Qt::LeftButton, {}, CentreOfLine(list, 1));
    QVERIFY(Is(Drain(desk), EventKind::kDirectoryDoubleClick, dw::kDirectoryListId));

    // Below the last line there is nothing to ask for.
    const QPoint below(CentreOfLine(list, 2).x(), viewport->height() - 2);
    QVERIFY(!list->indexAt(below).isValid());
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, below);
    QVERIFY(Drain(desk).empty());

    desk.ClearDirectorySelection();
    QCOMPARE(desk.SelectedDirectoryLine(), -1);
    desk.ClearDirectory();
    QCOMPARE(desk.DirectoryCount(), 0);
  }

  // A disk named in the computer's lower case set ("TEST DISK" typed there is $D4 $C5 $D3 ...).
  // The list shows it as the screen does, the note as the program wrote it, and the View menu
  // switches the set for the lines already shown; the program still gets the drive's bytes.
  void directoryShowsTheScreensCharacters() {
    QtDesk desk;
    const std::string header = "0 \"\xD4\xC5\xD3\xD4 \xC4\xC9\xD3\xCB\" AB 2A";
    desk.AddDirectoryLine(header);
    desk.AddDirectoryLine("1    \"\xC8\x45\x4C\x4C\x4F\xA0\\\x5E\x5F\xFF\"   PRG");
    desk.SetDirectoryNote(0, " (1541 DISK)");
    QListWidget* list = desk.window().directoryList();
    // Upper case and graphics: the shifted letters are graphics, which a font without the
    // legacy computing symbols draws as the nearest box drawing and block symbols.
    const QString upperHeader = list->item(0)->text();
    QVERIFY(upperHeader.startsWith(QString::fromUtf8("0 \"")));
    QVERIFY(upperHeader.contains(QString::fromUtf8("\u2665")));  // $D3 the heart
    QVERIFY(upperHeader.contains(QString::fromUtf8("\u256E")));  // $C9 the arc
    QVERIFY(upperHeader.endsWith(QString::fromUtf8("\" AB 2A (1541 DISK)")));
    // $C8 is a vertical line right of the middle: the legacy symbol, or the box drawing one.
    const QString fileLine =
        QString::fromUtf8("1    \"%1ELLO\u00A0\u00A3\u2191\u2190\u03C0\"   PRG");
    QVERIFY2(list->item(1)->text() == fileLine.arg(QString::fromUtf8("\U0001FB74")) ||
                 list->item(1)->text() == fileLine.arg(QString::fromUtf8("\u2502")),
             qPrintable(list->item(1)->text()));
    for (const QString& text : {upperHeader, list->item(1)->text()}) {
      for (QChar c : text) QVERIFY2(c.unicode() < 0xC0 || c.unicode() > 0xFF, qPrintable(text));
    }

    desk.window().menuAction(dw::kViewLowerCase)->trigger();
    QVERIFY(Drain(desk).empty());
    QCOMPARE(list->item(0)->text(), QString::fromUtf8("0 \"TEST DISK\" ab 2a (1541 DISK)"));
    QVERIFY(list->item(1)->text().startsWith(QString::fromUtf8("1    \"Hello\u00A0\u00A3")));
    QCOMPARE(desk.DirectoryLine(0), header + " (1541 DISK)");

    // A listing that comes while the set is chosen is shown in it.
    desk.ClearDirectory();
    desk.AddDirectoryLine("664 BLOCKS FREE.");
    QCOMPARE(list->item(0)->text(), QString("664 blocks free."));
    desk.window().menuAction(dw::kViewLowerCase)->trigger();
    QCOMPARE(list->item(0)->text(), QString("664 BLOCKS FREE."));
  }

  void waitsEndByTimeOrByEvent() {
    QtDesk desk;
    // Nothing happens: the wait ends by itself.
    QVERIFY(!desk.WaitEvent(20).has_value());
    QVERIFY(!desk.WaitEvent(0).has_value());

    // An event during the wait ends it at once, long before the limit.
    QTimer::singleShot(5, &desk.window(), [&desk] { desk.window().menuAction(30)->trigger(); });
    QElapsedTimer elapsed;
    elapsed.start();
    const std::optional<DeskEvent> event = desk.WaitEvent(60000);
    QVERIFY(elapsed.elapsed() < 30000);
    QVERIFY(event.has_value());
    QCOMPARE(event->kind, EventKind::kCommand);
    QCOMPARE(event->id, 30);

    QTimer::singleShot(5, &desk.window(), [&desk] { desk.window().menuAction(38)->trigger(); });
    std::optional<DeskEvent> idle;
    for (int pass = 0; pass < 1000 && !idle; ++pass) idle = desk.WaitIdle();
    QVERIFY(idle.has_value());
    QCOMPARE(idle->id, 38);
  }

  // --- texts, panes and status bar ----------------------------------------------------

  void textsAreLatin1BothWays() {
    QtDesk desk;
    std::string allHigh;
    for (int code = 0xA0; code <= 0xFF; ++code) allHigh.push_back(static_cast<char>(code));
    desk.AddDevice("8: " + allHigh);
    QCOMPARE(desk.DeviceText(0), "8: " + allHigh);
    QCOMPARE(desk.window().deviceCombo()->itemText(0).at(3), QChar(0xA0));
    desk.SetDeviceText(0, "8: 1541-II");
    QCOMPARE(desk.DeviceText(0), std::string("8: 1541-II"));
    QCOMPARE(desk.DeviceText(5), std::string());

    // The drive's bytes come back as they went in, the note after them.
    desk.AddDirectoryLine("0 \"" + allHigh + "\"");
    QCOMPARE(desk.DirectoryLine(0), "0 \"" + allHigh + "\"");
    desk.SetDirectoryNote(0, " (1541 DISK)");
    QCOMPARE(desk.DirectoryLine(0), "0 \"" + allHigh + "\" (1541 DISK)");
    QCOMPARE(desk.DirectoryLine(3), std::string());

    desk.AppendLogLine("09:05:07 caf\xE9");
    QCOMPARE(desk.window().logPane()->toPlainText(), QString::fromUtf8("09:05:07 caf\u00E9"));
  }

  void logPaneGrowsAndShowsItsLastLine() {
    QtDesk desk;
    ShowAndWait(desk);
    QPlainTextEdit* pane = desk.window().logPane();
    for (int i = 0; i < 3000; ++i) desk.AppendLogLine("12:00:00 line " + std::to_string(i));
    desk.AppendLogLine("");
    desk.AppendLogLine("12:00:01 -- done --");
    QCOMPARE(pane->blockCount(), 3002);
    QCOMPARE(pane->document()->findBlockByNumber(3000).text(), QString());
    QCOMPARE(pane->document()->lastBlock().text(), QString("12:00:01 -- done --"));
    QScrollBar* bar = pane->verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(bar->value(), bar->maximum());
    desk.ClearLog();
    QCOMPARE(pane->toPlainText(), QString());
  }

  void burstOfLinesIsPaintedOnceTheProgramWaits() {
    QtDesk desk;
    ShowAndWait(desk);
    QPlainTextEdit* pane = desk.window().logPane();
    for (int i = 0; i < 200; ++i) {
      desk.AppendLogLine("12:00:00 line " + std::to_string(i));
      desk.TakeEvent();
    }
    // Any wait of the program lets the held lines be painted.
    desk.WaitEvent(1);
    QVERIFY(pane->updatesEnabled());
    for (int i = 0; i < 200; ++i) desk.AppendLogLine("12:00:01 line " + std::to_string(i));
    QTimer::singleShot(5, &desk.window(), [] {});  // something to wake the idle wait
    desk.WaitIdle();
    QVERIFY(pane->updatesEnabled());
    for (int i = 0; i < 200; ++i) desk.AppendLogLine("12:00:02 line " + std::to_string(i));
    WhenModalShows([](QWidget* modal) { modal->close(); });
    desk.ShowMessage({"Diskwright", "x", dw::MessageIcon::kNone, dw::MessageButtons::kOk,
                      dw::MessageAnswer::kOk});
    QVERIFY(pane->updatesEnabled());
    QCOMPARE(pane->blockCount(), 600);
    // A single line after a quiet spell is not held at all.
    QTest::qWait(30);
    desk.AppendLogLine("12:00:03 alone");
    QVERIFY(pane->updatesEnabled());
  }

  void gcrPaneTakesTextWithLineBreaks() {
    QtDesk desk;
    desk.AppendGcrPaneText("Track 18\r\n52 55 ");
    desk.AppendGcrPaneText("AA\r\n");
    desk.AppendGcrPaneText("end");
    QPlainTextEdit* pane = desk.window().gcrTrackPane();
    QCOMPARE(pane->toPlainText(), QString("Track 18\n52 55 AA\nend"));
    QCOMPARE(pane->blockCount(), 3);
    desk.ClearGcrPane();
    QCOMPARE(pane->toPlainText(), QString());
  }

  void statusTextAndProgress() {
    QtDesk desk;
    desk.SetStatusText("00, OK,00,00");
    QCOMPARE(desk.window().statusText()->text(), QString("00, OK,00,00"));
    desk.SetStatusText("<b>not markup</b>");
    QCOMPARE(desk.window().statusText()->textFormat(), Qt::PlainText);

    QProgressBar* bar = desk.window().progressBar();
    desk.SetProgress(18, 1, 35);
    QCOMPARE(bar->minimum(), 1);
    QCOMPARE(bar->maximum(), 35);
    QCOMPARE(bar->value(), 18);
    desk.SetProgress(0, 0, 100);
    QCOMPARE(bar->value(), 0);
    // A value outside the range shows the nearest end instead of keeping an old value.
    desk.SetProgress(35, 1, 35);
    desk.SetProgress(0, 1, 35);
    QCOMPARE(bar->value(), 1);
    desk.SetProgress(99, 1, 35);
    QCOMPARE(bar->value(), 35);
  }

  // --- boxes and requesters -----------------------------------------------------------

  void questionBoxWithNoPreselected() {
    QtDesk desk;
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool noIsDefault = false;
    bool hasYesAndNo = false;
    WhenModalShows([&](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      if (box == nullptr) return void(modal->close());
      title = box->windowTitle();
      text = box->text();
      icon = box->icon();
      noIsDefault = box->defaultButton() == box->button(QMessageBox::No);
      hasYesAndNo = box->standardButtons() == (QMessageBox::Yes | QMessageBox::No);
      box->button(QMessageBox::Yes)->click();
    });
    const dw::MessageAnswer answer =
        desk.ShowMessage({"File already exists", "Replace \"game.d64\"?", dw::MessageIcon::kWarning,
                          dw::MessageButtons::kYesNo, dw::MessageAnswer::kNo});
    QCOMPARE(answer, dw::MessageAnswer::kYes);
    QCOMPARE(title, QString("File already exists"));
    QCOMPARE(text, QString("Replace \"game.d64\"?"));
    QCOMPARE(icon, QMessageBox::Warning);
    QVERIFY(noIsDefault);
    QVERIFY(hasYesAndNo);
  }

  void questionClosedWithEscapeIsNo() {
    QtDesk desk;
    WhenModalShows([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
    QCOMPARE(desk.ShowMessage({"File already exists", "Replace \"x\"?", dw::MessageIcon::kWarning,
                               dw::MessageButtons::kYesNo, dw::MessageAnswer::kNo}),
             dw::MessageAnswer::kNo);
  }

  void noticeBoxWithOk() {
    QtDesk desk;
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::Warning;
    WhenModalShows([&](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      if (box == nullptr) return void(modal->close());
      title = box->windowTitle();
      text = box->text();
      icon = box->icon();
      QTest::keyClick(box, Qt::Key_Return);
    });
    QCOMPARE(
        desk.ShowMessage({"Diskwright", "Version 3.00\r\nBuilt: 06.06.2021", dw::MessageIcon::kNone,
                          dw::MessageButtons::kOk, dw::MessageAnswer::kOk}),
        dw::MessageAnswer::kOk);
    QCOMPARE(title, QString("Diskwright"));
    QCOMPARE(text, QString("Version 3.00\nBuilt: 06.06.2021"));
    QCOMPARE(icon, QMessageBox::NoIcon);
  }

  void textRequesterAnswersOrCancels() {
    QtDesk desk;
    QString title, label, start;
    WhenModalShows([&](QWidget* modal) {
      auto* dialog = qobject_cast<QInputDialog*>(modal);
      if (dialog == nullptr) return void(modal->close());
      title = dialog->windowTitle();
      label = dialog->labelText();
      start = dialog->textValue();
      // Characters above 255 reach the drive as the low 8 bits of their code.
      dialog->setTextValue(QString::fromLatin1("S0:OLD\xE9") + QChar(0x0141) + QChar(0x2190));
      static_cast<QDialog*>(dialog)->accept();
    });
    std::optional<std::string> answer =
        desk.AskText({"Send DOS command", "Enter DOS command:", "I0"});
    QVERIFY(answer.has_value());
    QCOMPARE(*answer, std::string("S0:OLD\xE9\x41\x90"));
    QCOMPARE(title, QString("Send DOS command"));
    QCOMPARE(label, QString("Enter DOS command:"));
    QCOMPARE(start, QString("I0"));

    WhenModalShows([](QWidget* modal) { modal->close(); });
    QVERIFY(!desk.AskText({"Send DOS command", "Enter DOS command:", ""}).has_value());
  }

  void openRequesterWithPreselectedType() {
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString path = folder.filePath("ELITE.prg");
    {
      QFile file(path);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write("\x01\x08", 2);
    }
    QtDesk desk;
    QString title, preselected, startFolder;
    bool opening = false;
    WhenModalShows([&](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      if (dialog == nullptr) return void(modal->close());
      title = dialog->windowTitle();
      preselected = dialog->selectedNameFilter();
      startFolder = dialog->directory().absolutePath();
      opening = dialog->acceptMode() == QFileDialog::AcceptOpen;
      dialog->selectNameFilter("PRG Image (*.prg)");
      dialog->selectFile(path);
      static_cast<QDialog*>(dialog)->accept();
    });
    dw::FileRequest request;
    request.title = "Open";
    request.folder = folder.path().toStdString();
    request.typeList = "D64 Image (*.d64)|*.d64|PRG Image (*.prg)|*.prg|all files (*.*)|*.*";
    request.entry = 4;  // beyond the list: the last entry
    const dw::FileAnswer answer = desk.ChooseFile(request);
    QCOMPARE(title, QString("Open"));
    QVERIFY(opening);
    QCOMPARE(preselected, QString("all files (*)"));
    QCOMPARE(startFolder, QDir(folder.path()).absolutePath());
    QCOMPARE(QString::fromStdString(answer.path), path);
    QCOMPARE(answer.selectedEntry, 1);
  }

  void saveRequesterOffersTheNameAndReportsCancel() {
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QtDesk desk;
    QStringList offered;
    QString preselected;
    bool saving = false;
    WhenModalShows([&](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      if (dialog == nullptr) return void(modal->close());
      offered = dialog->selectedFiles();
      preselected = dialog->selectedNameFilter();
      saving = dialog->acceptMode() == QFileDialog::AcceptSave;
      dialog->reject();
    });
    dw::FileRequest request;
    request.saving = true;
    request.title = "Save as";
    request.folder = folder.path().toStdString();
    request.fileName = "ELITE";
    request.typeList = "D71 Image (*.d71)|*.d71|PRG Image (*.prg)|*.prg|all files (*.*)|*.*";
    request.entry = 1;
    const dw::FileAnswer answer = desk.ChooseFile(request);
    QVERIFY(saving);
    QCOMPARE(offered, QStringList{QDir(folder.path()).filePath("ELITE")});
    QCOMPARE(preselected, QString("PRG Image (*.prg)"));
    QVERIFY(answer.path.empty());
    QCOMPARE(answer.selectedEntry, 1);
  }

  void saveRequesterReturnsANewBareName() {
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString path = QDir(folder.path()).filePath("newdisk");
    QtDesk desk;
    WhenModalShows([&](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      if (dialog == nullptr) return void(modal->close());
      dialog->selectFile(path);
      static_cast<QDialog*>(dialog)->accept();
    });
    dw::FileRequest request;
    request.saving = true;
    request.title = "Save as";
    request.folder = folder.path().toStdString();
    request.typeList = "D64 Image (*.d64)|*.d64|PRG Image (*.prg)|*.prg|all files (*.*)|*.*";
    const dw::FileAnswer answer = desk.ChooseFile(request);
    // The requester adds no extension of its own; the program completes the name.
    QCOMPARE(QString::fromStdString(answer.path), path);
    QCOMPARE(answer.selectedEntry, 0);
  }
};

QTEST_MAIN(QtDeskTest)
#include "qt_desk_test.moc"

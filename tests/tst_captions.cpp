// Every caption of both forms is drawn whole at the forms' fonts: it fits its
// control (wrapped where the control wraps) and no sibling stands over it.
#include "helpers.h"

#include "forms/captionbutton.h"

#include <QGroupBox>
#include <QLabel>
#include <QStyleOptionGroupBox>
#include <QTest>

namespace {
// Where the caption's text is drawn, in the control's coordinates, and the
// area it may use.
struct Drawn {
    QRect text;
    QRect room;
};

Drawn drawnCaption(QWidget* control) {
    const QFontMetrics fm(control->font());
    if (auto* label = qobject_cast<QLabel*>(control)) {
        const QRect room = label->contentsRect();
        const int flags = int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
        return {fm.boundingRect(room, flags, label->text()), room};
    }
    if (auto* button = qobject_cast<forms::CaptionButton*>(control)) {
        const QRect room = button->captionRect();
        return {fm.boundingRect(room, forms::CaptionButton::kCaptionFlags, button->text()), room};
    }
    auto* frame = qobject_cast<QGroupBox*>(control);
    QStyleOptionGroupBox option;
    option.initFrom(frame);
    option.text = frame->title();
    option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
    option.textAlignment = frame->alignment();
    const QRect label = frame->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                       QStyle::SC_GroupBoxLabel, frame);
    const QRect text(label.topLeft(), QSize(fm.horizontalAdvance(frame->title()), fm.height()));
    return {text, frame->rect()};
}
} // namespace

class TestCaptions : public QObject {
    Q_OBJECT
    ProgramDir dir;

private slots:
    void initTestCase() {
        LockWindowForm& lock = LockWindow();
        lock.Frame3->show(); // everything there is to read
        lock.Picture1->show();
        frmLogin().show();
    }
    void cleanupTestCase() { unloadAllForms(); }

    void drawnWhole_data() {
        QTest::addColumn<QWidget*>("control");
        LockWindowForm& lock = LockWindow();
        frmLoginForm& dialog = frmLogin();
        const QList<std::pair<const char*, QWidget*>> controls = {
            {"Label1", lock.Label1},     {"Label2", lock.Label2},
            {"Label3", lock.Label3},     {"Label4", lock.Label4},
            {"Frame1", lock.Frame1},     {"Frame2", lock.Frame2},
            {"Frame3", lock.Frame3},     {"Command1", lock.Command1},
            {"Command2", lock.Command2}, {"Command3", lock.Command3},
            {"Command4", lock.Command4}, {"lblLabels(1)", dialog.lblLabels[1]},
            {"cmdOK", dialog.cmdOK},     {"cmdCancel", dialog.cmdCancel},
        };
        for (const auto& [name, control] : controls)
            QTest::newRow(name) << control;
    }
    void drawnWhole() {
        QFETCH(QWidget*, control);
        const Drawn drawn = drawnCaption(control);
        QVERIFY2(drawn.room.contains(drawn.text), qPrintable(QString("text %1x%2 in %3x%4")
                                                                 .arg(drawn.text.width())
                                                                 .arg(drawn.text.height())
                                                                 .arg(drawn.room.width())
                                                                 .arg(drawn.room.height())));
        // Siblings made later stand above it; children stand above a frame.
        QWidget* parent = control->parentWidget();
        const QRect text = drawn.text.translated(control->pos());
        const QObjectList siblings = parent->children();
        for (qsizetype i = siblings.indexOf(control) + 1; i < siblings.size(); ++i) {
            auto* sibling = qobject_cast<QWidget*>(siblings[i]);
            if (!sibling || !sibling->isVisibleTo(parent) || sibling->isWindow()) continue;
            // A transparent label hides nothing but its own text.
            auto* label = qobject_cast<QLabel*>(sibling);
            const QRect over = label && !label->autoFillBackground()
                                   ? drawnCaption(label).text.translated(label->pos())
                                   : sibling->geometry();
            QVERIFY2(!over.intersects(text), qPrintable(sibling->metaObject()->className()));
        }
        if (qobject_cast<QGroupBox*>(control))
            for (QWidget* child : control->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                if (child->isVisibleTo(control)) QVERIFY(!child->geometry().intersects(drawn.text));
    }

    void formsUseTheirFont() {
        QCOMPARE(frmLogin().lblLabels[1]->font().family(), QString("IPAPGothic"));
        QCOMPARE(frmLogin().lblLabels[1]->font().pointSizeF(), 9.0);
        QCOMPARE(QFontInfo(frmLogin().cmdOK->font()).family(), QString("IPAPGothic"));
        QCOMPARE(QFontInfo(LockWindow().Label1->font()).family(), QString("IPAPGothic"));
    }
};

QTEST_MAIN(TestCaptions)
#include "tst_captions.moc"

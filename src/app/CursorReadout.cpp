#include "app/CursorReadout.h"

#include <QFileInfo>
#include <QFontDatabase>

#include "buffers/BufferSet.h"
#include "core/MessageCatalogue.h"
#include "hexview/HexView.h"

namespace {

// `count` bytes from `position` in the given order, as hex digits; "-" when
// the view ends first.
QString valueText(const HexView& view, uint32_t position, int count, bool bigEndian)
{
    if (uint64_t(position) + uint32_t(count) > view.byteCount())
        return QStringLiteral("-");
    uint32_t value = 0;
    for (int i = 0; i < count; ++i) {
        const uint32_t byte = view.byteAt(position + uint32_t(bigEndian ? i : count - 1 - i));
        value = value << 8 | byte;
    }
    return QString("%1").arg(value, count * 2, 16, QChar('0')).toUpper();
}

}  // namespace

CursorReadout::CursorReadout(HexView& view, const BufferSet& buffers, QWidget* parent)
    : QLabel(parent), view_(view), buffers_(buffers)
{
    setObjectName("CursorReadout");
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A narrow window cuts the line rather than growing to its length. Every
    // load of the view moves the caret, so a new buffer refreshes it too.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    connect(&view_, &HexView::cursorPositionChanged, this, &CursorReadout::refresh);
    refresh();
}

void CursorReadout::ApplyLanguage(int language)
{
    language_ = language;
    refresh();
}

void CursorReadout::setJob(const QString& name, bool locked)
{
    job_ = name;
    jobLocked_ = locked;
    refresh();
}

QString CursorReadout::sourceText() const
{
    QStringList parts;
    if (!buffers_.sourceFile.empty()) {
        const QString file = QFileInfo(QString::fromStdString(buffers_.sourceFile)).fileName();
        parts << QString::fromStdString(MessageCatalogue::format(Msg::ReadoutFile, language_, {file.toStdString()}));
    }
    if (!job_.isEmpty()) {
        const Msg form = jobLocked_ ? Msg::LockedJobReadout : Msg::JobReadout;
        parts << QString::fromStdString(MessageCatalogue::format(form, language_, {job_.toStdString()}));
    }
    return parts.join("   ");
}

void CursorReadout::refresh()
{
    const uint32_t position = view_.cursorPosition();
    const QString cursor = QString::fromStdString(MessageCatalogue::format(
        Msg::ReadoutText, language_,
        {view_.offsetText(position).toStdString(), std::to_string(view_.selectionEnd() - view_.selectionStart()),
         valueText(view_, position, 1, false).toStdString(), valueText(view_, position, 2, false).toStdString(),
         valueText(view_, position, 2, true).toStdString(), valueText(view_, position, 4, false).toStdString(),
         valueText(view_, position, 4, true).toStdString()}));
    const QString source = sourceText();
    setText(source.isEmpty() ? cursor : source + "   " + cursor);
    setToolTip(QString::fromStdString(buffers_.sourceFile));
}

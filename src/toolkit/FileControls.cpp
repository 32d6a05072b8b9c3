#include "toolkit/FileControls.h"

#include "toolkit/Files.h"

#include <QDir>
#include <QKeyEvent>
#include <QRegularExpression>
#include <QStorageInfo>

#include <algorithm>
#include <sys/stat.h>

// Each character becomes its own capital, one for one: a name in capitals
// must still find its file by a comparison that ignores letter case, which
// QString::toUpper's "ß" -> "SS" would break.
QString UpperCaseName(const QString& text)
{
    QList<uint> chars = text.toUcs4();
    for (uint& c : chars)
        c = QChar::toUpper(c);
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(chars.constData()), chars.size());
}

TUpperEdit::TUpperEdit(QWidget* parent) : QLineEdit(parent)
{
    connect(this, &QLineEdit::textChanged, this, [this](const QString& t) {
        const QString up = UpperCaseName(t);
        if (up != t) {
            const int pos = cursorPosition();
            setText(up);
            setCursorPosition(pos);
        }
    });
}

// ---------------------------------------------------------------- drives

TDriveComboBox::TDriveComboBox(QWidget* parent) : QComboBox(parent)
{
    for (const QString& d : AvailableDrives())
        addItem(d, d);
    connect(this, qOverload<int>(&QComboBox::activated), this, [this](int) {
        emit DriveChanged(FolderOfDrive(Drive()));
    });
}

QStringList TDriveComboBox::AvailableDrives()
{
    QStringList drives{QStringLiteral("/")};
    const QString home = IncludeTrailingPathDelimiter(QDir::homePath());
    if (home != QLatin1String("/"))
        drives << home;
    static const QStringList skip{QStringLiteral("/proc"), QStringLiteral("/sys"), QStringLiteral("/dev"),
                                  QStringLiteral("/run"), QStringLiteral("/snap"), QStringLiteral("/boot")};
    for (const QStorageInfo& s : QStorageInfo::mountedVolumes()) {
        if (!s.isValid() || !s.isReady())
            continue;
        const QString root = IncludeTrailingPathDelimiter(s.rootPath());
        bool system = false;
        for (const QString& p : skip)
            system = system || root == p + QLatin1Char('/') || root.startsWith(p + QLatin1Char('/'));
        if (!system && !drives.contains(root))
            drives << root;
    }
    return drives;
}

QString TDriveComboBox::DriveOf(const QString& path, const QStringList& drives)
{
    const QString p = IncludeTrailingPathDelimiter(path);
    QString best = QStringLiteral("/");
    for (const QString& d : drives)
        if (p.startsWith(d) && d.size() > best.size())
            best = d;
    return best;
}

QString TDriveComboBox::Drive() const
{
    return currentIndex() < 0 ? QStringLiteral("/") : currentData().toString();
}

void TDriveComboBox::SetDrive(const QString& root)
{
    int i = findData(root);
    if (i < 0) {
        addItem(root, root);
        i = count() - 1;
    }
    setCurrentIndex(i);
}

void TDriveComboBox::RememberFolder(const QString& folder)
{
    QStringList drives;
    for (int i = 0; i < count(); ++i)
        drives << itemData(i).toString();
    lastFolder_[DriveOf(folder, drives)] = folder;
}

QString TDriveComboBox::FolderOfDrive(const QString& root) const
{
    return lastFolder_.value(root, root);
}

// ---------------------------------------------------------------- folders

TDirectoryListBox::TDirectoryListBox(QWidget* parent) : QListWidget(parent)
{
    connect(this, &QListWidget::itemDoubleClicked, this, &TDirectoryListBox::OpenItem);
    connect(this, &QListWidget::itemActivated, this, &TDirectoryListBox::OpenItem);
    connect(this, &QListWidget::itemClicked, this, [this] { emit Click(); });
}

static QString withoutTrailingSlash(QString s)
{
    while (s.size() > 1 && s.endsWith(QLatin1Char('/')))
        s.chop(1);
    return s;
}

bool TDirectoryListBox::SetDirectory(const QString& folder)
{
    const QString target = withoutTrailingSlash(QDir::cleanPath(QDir(GetCurrentDir()).absoluteFilePath(folder)));
    if (!SetCurrentDir(target))
        return false;
    const bool changed = target != directory_;
    directory_ = withoutTrailingSlash(GetCurrentDir());
    fill();
    if (changed)
        emit Change();
    return true;
}

void TDirectoryListBox::OpenItem(QListWidgetItem* item)
{
    if (item)
        SetDirectory(item->data(Qt::UserRole).toString());
}

void TDirectoryListBox::keyPressEvent(QKeyEvent* event)
{
    // Enter opens the chosen folder and is used up here: passed on, it would
    // also press the dialog's default button.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        OpenItem(currentItem());
        event->accept();
        return;
    }
    QListWidget::keyPressEvent(event);
}

void TDirectoryListBox::fill()
{
    clear();
    QStringList parts = directory_.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString path = QStringLiteral("/");
    int depth = 0;
    auto add = [&](const QString& text, const QString& full, int level, bool open) {
        auto* it = new QListWidgetItem(QString(level * 2, QLatin1Char(' ')) + (open ? QStringLiteral("\u25BE ") : QStringLiteral("  ")) + text, this);
        it->setData(Qt::UserRole, full);
    };
    add(QStringLiteral("/"), path, depth++, true);
    for (const QString& p : parts) {
        path = withoutTrailingSlash(path) + QLatin1Char('/') + p;
        add(p, path, depth++, true);
    }
    setCurrentRow(count() - 1);
    QStringList subs;
    for (const QString& e : FolderEntries(directory_)) {
        struct stat st;
        if (::stat(NativePath(withoutTrailingSlash(directory_) + QLatin1Char('/') + e).constData(), &st) == 0 && S_ISDIR(st.st_mode))
            subs << e;
    }
    std::sort(subs.begin(), subs.end(), [](const QString& a, const QString& b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    for (const QString& s : subs)
        add(s, withoutTrailingSlash(directory_) + QLatin1Char('/') + s, depth, false);
}

// ---------------------------------------------------------------- files

TFileListBox::TFileListBox(QWidget* parent) : QListWidget(parent)
{
    directory_ = withoutTrailingSlash(GetCurrentDir());
    connect(this, &QListWidget::itemClicked, this, [this] {
        syncEdit();
        emit Click();
    });
    // Only a change of selection speaks to the name box: the list taking the
    // focus moves its current row without selecting, and must not overwrite
    // a name the box was given.
    connect(this, &QListWidget::itemSelectionChanged, this, [this] { syncEdit(); });
}

bool TFileListBox::MatchesMask(const QString& name, const QString& mask)
{
    for (const QString& m : mask.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        QString pattern = m.trimmed();
        // "*.*" means every file, with or without an extension.
        if (pattern == QLatin1String("*.*") || pattern == QLatin1String("*"))
            return true;
        QString rx;
        for (const QChar c : pattern) {
            if (c == QLatin1Char('*'))
                rx += QStringLiteral(".*");
            else if (c == QLatin1Char('?'))
                rx += QLatin1Char('.');
            else
                rx += QRegularExpression::escape(QString(c));
        }
        const QRegularExpression re(QRegularExpression::anchoredPattern(rx), QRegularExpression::CaseInsensitiveOption);
        if (re.match(name).hasMatch())
            return true;
    }
    return false;
}

void TFileListBox::SetMask(const QString& mask, const QString& shown)
{
    mask_ = mask;
    shownMask_ = shown;
    Update();
}

void TFileListBox::SetLinksListed(bool listed)
{
    linksListed_ = listed;
    Update();
}

void TFileListBox::SetDirectory(const QString& folder)
{
    directory_ = withoutTrailingSlash(folder);
    Update();
}

void TFileListBox::Update()
{
    blockSignals(true);
    clear();
    QStringList names;
    for (const QString& e : FolderEntries(directory_)) {
        if (e.startsWith(QLatin1Char('.')) || !MatchesMask(e, mask_))
            continue;
        const QByteArray path = NativePath(withoutTrailingSlash(directory_) + QLatin1Char('/') + e);
        struct stat st;
        if ((linksListed_ ? ::stat(path.constData(), &st) : ::lstat(path.constData(), &st)) == 0 && S_ISREG(st.st_mode))
            names << e;
    }
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    addItems(names);
    setCurrentRow(-1);
    blockSignals(false);
    syncEdit();
}

QString TFileListBox::FileName() const
{
    const QListWidgetItem* it = currentRow() >= 0 ? item(currentRow()) : nullptr;
    if (!it || !it->isSelected())
        return QString();
    return withoutTrailingSlash(directory_) + QLatin1Char('/') + it->text();
}

void TFileListBox::SetMultiSelect(bool multi)
{
    setSelectionMode(multi ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
}

QStringList TFileListBox::FileNames() const
{
    QStringList names;
    for (int i = 0; i < count(); ++i)
        if (item(i)->isSelected())
            names << withoutTrailingSlash(directory_) + QLatin1Char('/') + item(i)->text();
    return names;
}

void TFileListBox::SelectName(const QString& name)
{
    const auto found = findItems(name, Qt::MatchFixedString);
    if (found.isEmpty())
        return;
    setCurrentItem(found.first(), QItemSelectionModel::ClearAndSelect);
    syncEdit();
    emit Click();
}

void TFileListBox::syncEdit()
{
    if (!fileEdit_)
        return;
    const QStringList several = selectedItems().size() > 1 ? FileNames() : QStringList();
    if (!several.isEmpty()) {
        QStringList quoted;
        for (const QString& f : several)
            quoted << QLatin1Char('"') + ExtractFileName(f) + QLatin1Char('"');
        fileEdit_->setText(quoted.join(QLatin1Char(' ')));
        fileEdit_->setCursorPosition(0);
        return;
    }
    const QString f = FileName();
    fileEdit_->setText(!f.isEmpty() ? ExtractFileName(f) : shownMask_.isEmpty() ? mask_ : shownMask_);
    fileEdit_->selectAll();
}

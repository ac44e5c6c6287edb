#include "OutlineEditorView.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QTreeWidget>
#include <QWidget>

namespace plait::gui {

using core::outline::Entry;
using core::outline::EntryList;
using core::outline::Outline;

namespace {

constexpr int kEntryRole = Qt::UserRole + 1;

// Holds a counter up for a scope: the tree's signals mean nothing while it is non-zero.
struct Updating {
    explicit Updating(int& n) : n_(n) { ++n_; }
    ~Updating() { --n_; }
    Updating(const Updating&) = delete;
    Updating& operator=(const Updating&) = delete;
    int& n_;
};

} // namespace

OutlineEditorView::OutlineEditorView(QWidget* root, core::outline::OutlineEditor& editor,
                                     OutlineEditorServices services, QObject* parent)
    : QObject(parent), root_(root), editor_(&editor), services_(std::move(services)) {
    tree_ = root->findChild<QTreeWidget*>(QStringLiteral("TreeOutline"));
    if (tree_) {
        tree_->setHeaderHidden(true);
        tree_->setColumnCount(1);
        tree_->setSelectionMode(QAbstractItemView::SingleSelection);
        connect(tree_, &QTreeWidget::itemClicked, this,
                [this](QTreeWidgetItem* item) { userSelected(item); });
        // A keyboard move of the selection selects too, and the fields follow it, so that
        // they always show the entry they edit.
        connect(tree_, &QTreeWidget::currentItemChanged, this,
                [this](QTreeWidgetItem* item) { userSelected(item); });
        connect(tree_, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
            if (updating_ == 0) {
                if (const Entry* e = entryFor(item)) {
                    editor_->outline().setExpanded(const_cast<Entry&>(*e), true);
                }
            }
        });
        connect(tree_, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* item) {
            if (updating_ == 0) {
                if (const Entry* e = entryFor(item)) {
                    editor_->outline().setExpanded(const_cast<Entry&>(*e), false);
                }
            }
        });
    }
    using E = core::outline::OutlineEditor;
    connectButton("btnInsBefore", [](E& e) { e.insert(); });
    connectButton("btnDelOutline", [](E& e) { e.removeSelected(); });
    connectButton("btnUp", [](E& e) { e.moveUp(); });
    connectButton("btnDown", [](E& e) { e.moveDown(); });
    connectButton("cmdLeft", [](E& e) { e.outdent(); });
    connectButton("cmdRight", [](E& e) { e.indent(); });
    if (auto* button = root->findChild<QAbstractButton*>(QStringLiteral("btnLoadOutline"))) {
        connect(button, &QAbstractButton::clicked, this, [this] { importBookmarks(); });
    }
    subscribe();
    rebuild();
}

OutlineEditorView::~OutlineEditorView() = default;

void OutlineEditorView::connectButton(const char* name, void (*action)(core::outline::OutlineEditor&)) {
    if (auto* button = root_->findChild<QAbstractButton*>(QLatin1String(name))) {
        connect(button, &QAbstractButton::clicked, this, [this, action] { action(*editor_); });
    }
}

void OutlineEditorView::rebind(core::outline::OutlineEditor& editor) {
    editor_ = &editor;
    subscribe();
    rebuild();
}

void OutlineEditorView::subscribe() {
    binding_ = editor_->outline().subscribe([this](Outline::Change change, const Entry* entry) {
        switch (change) {
        case Outline::Change::Structure:
            rebuild();
            break;
        case Outline::Change::Entry:
            if (QTreeWidgetItem* item = itemFor(entry)) {
                item->setText(0, QString::fromStdString(entry->text));
            }
            break;
        case Outline::Change::Expanded:
            if (QTreeWidgetItem* item = itemFor(entry)) {
                Updating guard(updating_);
                item->setExpanded(entry->expanded);
            }
            break;
        case Outline::Change::Selection:
            showSelection();
            break;
        }
    });
}

const Entry* OutlineEditorView::entryFor(const QTreeWidgetItem* item) const {
    if (item == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<const Entry*>(item->data(0, kEntryRole).value<quintptr>());
}

void OutlineEditorView::rebuild() {
    if (!tree_) {
        return;
    }
    Updating guard(updating_);
    items_.clear();
    tree_->clear();
    addItems(nullptr, editor_->outline().topLevel());
    // Expanding only works once an item has its children.
    applyExpanded(editor_->outline().topLevel());
    showSelection();
}

void OutlineEditorView::addItems(QTreeWidgetItem* parentItem, const EntryList& entries) {
    for (const auto& entry : entries) {
        auto* item = parentItem ? new QTreeWidgetItem(parentItem) : new QTreeWidgetItem(tree_);
        item->setText(0, QString::fromStdString(entry->text));
        item->setData(0, kEntryRole, QVariant::fromValue(reinterpret_cast<quintptr>(entry.get())));
        items_.insert(entry.get(), item);
        addItems(item, entry->children);
    }
}

void OutlineEditorView::applyExpanded(const EntryList& entries) {
    for (const auto& entry : entries) {
        if (!entry->children.empty()) {
            items_.value(entry.get())->setExpanded(entry->expanded);
            applyExpanded(entry->children);
        }
    }
}

void OutlineEditorView::showSelection() {
    if (!tree_) {
        return;
    }
    Updating guard(updating_);
    QTreeWidgetItem* item = itemFor(editor_->outline().selected());
    if (item == nullptr) {
        tree_->setCurrentItem(nullptr);
        tree_->clearSelection();
        return;
    }
    tree_->setCurrentItem(item);
    tree_->scrollToItem(item);
}

void OutlineEditorView::userSelected(QTreeWidgetItem* item) {
    if (updating_ > 0 || item == nullptr) {
        return;
    }
    editor_->select(const_cast<Entry*>(entryFor(item)));
}

void OutlineEditorView::setBusy(bool busy) {
    QWidget* window = root_ ? root_->window() : nullptr;
    if (busy) {
        if (window) {
            window->setEnabled(false);
        }
        QApplication::setOverrideCursor(Qt::WaitCursor);
        // Let the status text and the greyed window show before the engine starts.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    } else {
        QApplication::restoreOverrideCursor();
        if (window) {
            window->setEnabled(true);
        }
    }
}

void OutlineEditorView::importBookmarks() {
    const std::optional<std::string> input =
        services_.selectedInput ? services_.selectedInput() : std::optional<std::string>();
    editor_->importBookmarks(services_.engines, input, services_.messages,
                             [this](bool busy) { setBusy(busy); });
}

} // namespace plait::gui

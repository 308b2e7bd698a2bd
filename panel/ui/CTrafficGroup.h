#pragma once

#include <QGroupBox>
#include <functional>
#include <map>
#include <optional>

#include "panel/core/TrafficOptions.h"

class QListWidget;

// The traffic controls beside the form: the kind of the form's station, a random fleet, a
// fleet file, a scenario file, more outputs, and the chart's tap. Every change is told by
// Changed, after the controls hold the new value.
class CTrafficGroup : public QGroupBox {
    Q_OBJECT

public:
    // Asks for a file to read; empty when cancelled.
    using ChooseFile = std::function<std::optional<QString>(QWidget* parent, const QString& caption, const QString& filter)>;

    CTrafficGroup(ChooseFile chooseFile, QWidget* parent);

    // The control with identifier `id` (TrafficControlId), or null.
    QWidget* Item(int id) const;
    // What the controls hold; the tap's port is the caller's to fill in.
    panel::TrafficValues Read() const;
    bool TapWanted() const;
    // Locks (false) or unlocks (true) every control that goes into the command line.
    void EnableControls(bool enable);
    // No tap can be offered (the port could not be opened): the box says why and stays off.
    void DisableTap(const QString& reason);

signals:
    void Changed();
    void ShowChartClicked();

private:
    void Browse(int editId, const QString& caption, const QString& filter);
    void AddOutput();
    void RemoveOutput();
    void UpdateButtons();

    ChooseFile m_chooseFile;
    std::map<int, QWidget*> m_controls;   // children of the group
    QListWidget* m_outputs = nullptr;
    bool m_enabled = true;
    bool m_tapAvailable = true;
};

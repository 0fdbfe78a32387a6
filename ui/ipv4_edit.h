// An IPv4 address entry: four octet fields with dots between, each holding 0-255.
#pragma once

#include <QFrame>
#include <QString>
#include <array>
#include <cstdint>

#include "session/monitor_settings.h"

class QKeyEvent;
class QLineEdit;

namespace tavrel {

// Typing "." or a third digit moves to the next field, Backspace at the start of a field moves back to the
// previous one, and a dotted address typed or pasted into a field fills the fields from there on.
class Ipv4Edit : public QFrame {
    Q_OBJECT
public:
    static constexpr int kFieldCount = 4;
    static constexpr int kFieldDigits = 3;
    static constexpr int kHighestOctet = 255;

    explicit Ipv4Edit(QWidget* parent = nullptr);

    // The four octets; an empty field reads as 0.
    Ipv4Octets octets() const;
    void setOctets(const Ipv4Octets& octets);
    // The address as a 32-bit number in host order, first octet most significant (10.0.0.1 is 0x0A000001).
    void setAddress(std::uint32_t address);
    // A dotted address; any other text clears the entry and gives false.
    bool setAddress(const QString& dotted);
    void clear();
    bool isBlank() const;

    QLineEdit* field(int index) const { return m_fields.at(static_cast<std::size_t>(index)); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int indexOf(const QObject* field) const;
    void onFieldEdited(int index);
    void fillFrom(int index, const QString& dotted);
    enum class Landing { SelectAll, AtStart, AtEnd };
    void moveTo(int index, Landing landing);
    bool handleKey(int index, const QKeyEvent& key);

    std::array<QLineEdit*, kFieldCount> m_fields{};
};

} // namespace tavrel

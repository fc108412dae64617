// The message service of the running program: modal message boxes.
#pragma once

#include "base/vlMessages.h"

class QWidget;

// Shows every message as a modal box over the given parent window. GUI thread only.
class TBoxMessageService : public vl::IMessageService {
public:
    explicit TBoxMessageService(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }
    int show(const vl::Message& m) override;

private:
    QWidget* m_parent; // window the boxes are centred on, may be null
};

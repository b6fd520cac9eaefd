#pragma once

#include <utility>

#include "ui/window_host.h"

// Installs a modal driver for its lifetime and puts the previous one back afterwards.
class ScopedModalDriver {
public:
    explicit ScopedModalDriver(ui::WindowHost::ModalDriver driver)
        : previous_(ui::WindowHost::setModalDriver(std::move(driver))) {}
    ~ScopedModalDriver() { ui::WindowHost::setModalDriver(std::move(previous_)); }
    ScopedModalDriver(const ScopedModalDriver&) = delete;
    ScopedModalDriver& operator=(const ScopedModalDriver&) = delete;

private:
    ui::WindowHost::ModalDriver previous_;
};

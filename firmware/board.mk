# One board's image through Debian's arduino-mk; called by the Makefile beside it.
ARDUINO_DIR   = /usr/share/arduino
ARDMK_DIR     = /usr/share/arduino
AVR_TOOLS_DIR = /usr
# Debian 12's Arduino core and avr-libc disagree about DECIMAL_DIG.
CPPFLAGS     += -DDECIMAL_DIG=17
TARGET        = houndex-box
include /usr/share/arduino/Arduino.mk

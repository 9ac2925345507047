// stubs.cpp - operations of layers this library does not provide: exception
// set-up, windowing threads and the serial ports. Each does nothing; the
// serial-port operations ignore their arguments and return 0.
#include "qorb32n.h"

extern "C" {

QORB_API void ErrInitExceptions(void) {}

QORB_API void ThdSetPmThreadStartup(void) {}

QORB_API uint32_t ComOpenPort(const char * /*portName*/, uint32_t * /*port*/) {
  return 0;
}

QORB_API uint32_t ComClosePort(uint32_t /*port*/) {
  return 0;
}

QORB_API uint32_t ComSetPortParameters(uint32_t /*port*/, uint32_t /*baud*/, uint32_t /*dataBits*/,
                                       uint32_t /*parity*/, uint32_t /*stopBits*/) {
  return 0;
}

QORB_API uint32_t ComRead(uint32_t /*port*/, void * /*buffer*/, uint32_t /*length*/,
                          uint32_t * /*bytesRead*/) {
  return 0;
}

QORB_API uint32_t ComWrite(uint32_t /*port*/, const void * /*buffer*/, uint32_t /*length*/,
                           uint32_t * /*bytesWritten*/) {
  return 0;
}

QORB_API uint32_t ComSetTimeOuts(uint32_t /*port*/, uint32_t /*readTimeout*/,
                                 uint32_t /*writeTimeout*/) {
  return 0;
}

QORB_API uint32_t ComSetModemControlSignals(uint32_t /*port*/, uint32_t /*signals*/) {
  return 0;
}

}  // extern "C"

// Registry keys and value names shared by VORTALIS.dll, keyplant and hubnamer.
// Every key lies under HKEY_LOCAL_MACHINE; registry names are not case-sensitive.
// The paths are string-literal macros so that the full key names the tools print
// are built from the same text at compile time.
#ifndef VORTALIS_REGISTRY_KEYS_H
#define VORTALIS_REGISTRY_KEYS_H

#define VORTALIS_ROOT_NAME "HKEY_LOCAL_MACHINE"
#define VORTALIS_FULL_NAME(path) VORTALIS_ROOT_NAME "\\" path

// Keys.
#define VORTALIS_SERVICE_KEY "System\\CurrentControlSet\\Services\\VORTALIS"
#define VORTALIS_PARAMETERS_KEY VORTALIS_SERVICE_KEY "\\Parameters"
#define VORTALIS_PERFORMANCE_KEY VORTALIS_SERVICE_KEY "\\Performance"
#define VORTALIS_EVENT_SOURCE_KEY "System\\CurrentControlSet\\Services\\EventLog\\Application\\VORTALIS"

// Service key values (read by the service control manager only).
#define VORTALIS_VAL_ERROR_CONTROL "ErrorControl"
#define VORTALIS_VAL_START "Start"
#define VORTALIS_VAL_TYPE "Type"

// Parameters key values.
#define VORTALIS_VAL_DEBUG_LEVEL "DebugLevel"
#define VORTALIS_VAL_EVENT_LOG_LEVEL "EventLogLevel"
#define VORTALIS_VAL_QM_NAME "QMName"

// Performance key values.
#define VORTALIS_VAL_LIBRARY "Library"
#define VORTALIS_VAL_OPEN "Open"
#define VORTALIS_VAL_COLLECT "Collect"
#define VORTALIS_VAL_CLOSE "Close"
#define VORTALIS_VAL_FIRST_COUNTER "First Counter"
#define VORTALIS_VAL_FIRST_HELP "First Help"

// Event-source key values.
#define VORTALIS_VAL_EVENT_MESSAGE_FILE "EventMessageFile"
#define VORTALIS_VAL_TYPES_SUPPORTED "TypesSupported"

// The queue manager name holds at most 47 characters; with its zero byte, 48.
#define VORTALIS_QM_NAME_BYTES 48

#endif

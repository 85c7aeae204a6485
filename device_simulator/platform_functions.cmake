# The platform functions the simulator answers for, in the order the stand-ins export them.
# Each carries its stdcall decoration, the bytes of arguments it takes: devsim.dll's .def
# names its functions with it, the stand-ins without.
set(DEVSIM_HID_EXPORTS
    HidD_GetHidGuid@4
    HidD_GetAttributes@8
    HidD_GetPreparsedData@8
    HidP_GetCaps@8
    HidD_FreePreparsedData@4
    HidD_GetNumInputBuffers@8
    HidD_GetManufacturerString@12
    HidD_GetProductString@12
    HidD_GetSerialNumberString@12
    HidD_GetIndexedString@16
    HidD_GetFeature@12
    HidD_SetFeature@12
    HidD_GetInputReport@12
    HidD_SetOutputReport@12)
set(DEVSIM_SETUPAPI_EXPORTS
    SetupDiGetClassDevsA@16
    SetupDiDestroyDeviceInfoList@4
    SetupDiEnumDeviceInterfaces@20
    SetupDiGetDeviceInterfaceDetailA@24)

# What the variant folders keep: the hid.dll functions that find an interface, and the
# setupapi.dll functions that callers link to rather than look up.
set(DEVSIM_HID_WALK_FUNCTIONS HidD_GetHidGuid HidD_GetAttributes)
set(DEVSIM_SETUPAPI_LINKED_FUNCTIONS SetupDiGetClassDevsA SetupDiDestroyDeviceInfoList)

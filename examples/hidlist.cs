// hidlist in C#: lists every present HID interface through Velmar.dll's HID_DeviceInfo, line
// for line as hidlist.c does; given a vendor ID, a product ID and a command (hex), it then
// sends the command to that device in a 7-byte output report.
//
//   hidlist                  list
//   hidlist 04D8 F6F1 42     list, then send command 42 to the first 04D8:F6F1 device
//
// Build (.NET SDK):  a console project with this file and Velmar.cs
// Build (csc, mcs):  csc hidlist.cs Velmar.cs
// Velmar.dll is loaded at the first call, from beside the program or from the search path:
// the kit's bin\ for a 32-bit process, x64\bin\ for an x64 one, arm64\bin\ for an ARM64 one.
using System;
using System.Globalization;
using System.IO;
using System.Runtime.InteropServices;
using System.Text;
using VelmarHid;

public static class HidList
{
    const int ReportLength = 7;

    // The library's text is ANSI in the system's code page: it goes out as those very bytes,
    // as hidlist.c's printf writes them, whatever encoding the console would choose.
    static readonly Stream Output = Console.OpenStandardOutput();

    static void Write(string text)
    {
        byte[] bytes = Encoding.ASCII.GetBytes(text);
        Output.Write(bytes, 0, bytes.Length);
    }

    static void WriteAnsi(IntPtr text)
    {
        int length = 0;
        while (Marshal.ReadByte(text, length) != 0)
            ++length;
        byte[] bytes = new byte[length];
        Marshal.Copy(text, bytes, 0, length);
        Output.Write(bytes, 0, length);
    }

    // Text read as 1 to maxDigits hex digits of either case; false when it is anything else.
    static bool ParseHex(string text, int maxDigits, out int value)
    {
        value = 0;
        foreach (char digit in text)
            if (!Uri.IsHexDigit(digit))
                return false;
        return text.Length >= 1 && text.Length <= maxDigits
            && int.TryParse(text, NumberStyles.AllowHexSpecifier, CultureInfo.InvariantCulture,
                            out value);
    }

    static void ListInterfaces()
    {
        HidDeviceTable table = new HidDeviceTable();
        if (!Velmar.HID_DeviceInfo(ref table))
        {
            Write("No HID interface is present.\r\n");
            return;
        }
        Write("Index  VID:PID    Version  In/Out/Feature  Buffers  Manufacturer / Product / Serial\r\n");
        for (int i = 0; i < table.Count; ++i)
        {
            HidDeviceEntry entry = table.Entries[i];
            // An entry the library never filled: the interface could not be opened.
            if (entry.Manufacturer == IntPtr.Zero)
            {
                Write(string.Format("{0,5}  (present, but could not be opened)\r\n", i));
                continue;
            }
            Write(string.Format(CultureInfo.InvariantCulture,
                                "{0,5}  {1:X4}:{2:X4}  {3:X4}     {4,3}/{5,3}/{6,3}     {7,7}  \"", i,
                                entry.VendorID, entry.ProductID, entry.VersionNumber,
                                entry.InputReportByteLength, entry.OutputReportByteLength,
                                entry.FeatureReportByteLength, entry.NumInputBuffers));
            WriteAnsi(entry.Manufacturer);
            Write("\" / \"");
            WriteAnsi(entry.Product);
            Write("\" / \"");
            WriteAnsi(entry.SerialNumber);
            Write("\"\r\n");
        }
        Write(string.Format("{0} interface(s) listed.\r\n", table.Count));
    }

    // The exit code: 0 once the whole report went to the first device of that identity, of
    // any version; 1 when there is none or it took less.
    static int SendCommand(int vendorId, int productId, int command)
    {
        string identity = string.Format("{0:X4}:{1:X4}", vendorId, productId);
        // Product before vendor, in every identity that Velmar.dll takes.
        IntPtr device = IntPtr.Zero;
        if (Velmar.HID_DeviceTest(productId, vendorId, Velmar.VELMAR_ANY_VERSION, 0))
            device = Velmar.HID_OpenDevice(productId, vendorId, Velmar.VELMAR_ANY_VERSION, 0);
        if (device == IntPtr.Zero)
        {
            Write(identity + " is not present.\r\n");
            return 1;
        }
        // Report ID 0, for a device without report IDs, then the command.
        byte[] report = new byte[ReportLength];
        report[1] = (byte)command;
        bool sent = Velmar.HID_WriteDevice(device, report, report.Length) == report.Length;
        Write(string.Format(sent ? "Sent command {0:X2} to {1}.\r\n"
                                 : "Command {0:X2} could not be sent to {1}.\r\n",
                            command, identity));
        Velmar.HID_CloseDevice(device);
        return sent ? 0 : 1;
    }

    public static int Main(string[] arguments)
    {
        int vendorId = 0, productId = 0, command = 0;
        if (arguments.Length != 0
            && (arguments.Length != 3 || !ParseHex(arguments[0], 4, out vendorId)
                || !ParseHex(arguments[1], 4, out productId)
                || !ParseHex(arguments[2], 2, out command)))
        {
            Write("Usage: hidlist [VID PID COMMAND], in hex, such as: hidlist 04D8 F6F1 42\r\n");
            return 2;
        }
        ListInterfaces();
        return arguments.Length == 3 ? SendCommand(vendorId, productId, command) : 0;
    }
}

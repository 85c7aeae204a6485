{
  hidlist in Pascal: lists every present HID interface through Velmar.dll's HID_DeviceInfo,
  line for line as hidlist.c does; given a vendor ID, a product ID and a command (hex), it
  then sends the command to that device in a 7-byte output report.

    hidlist                  list
    hidlist 04D8 F6F1 42     list, then send command 42 to the first 04D8:F6F1 device

  Build (Free Pascal):  fpc hidlist.pas        with the unit Velmar.pas beside it
  Build (Delphi):       dcc32 hidlist.pas
  Velmar.dll is loaded when the program starts, from beside it or from the search path.
  Only the System unit besides Velmar: the program needs no run-time library beyond it.
}
program hidlist;

{$ifdef FPC}{$mode delphi}{$endif}
{$apptype console}

uses
  Velmar;

const
  ReportLength = 7;

var
  { Global, so zero-filled as a fresh table must be. }
  Table: THidDeviceTable;
  VendorID, ProductID, Command: Integer;

{ Value as exactly Digits upper-case hex digits, as printf's %0<Digits>X writes a value
  that fits. }
function Hex(Value: Integer; Digits: Integer): string;
const
  HexDigits = '0123456789ABCDEF';
var
  I: Integer;
begin
  SetLength(Result, Digits);
  for I := Digits downto 1 do
  begin
    Result[I] := HexDigits[Value and 15 + 1];
    Value := Value shr 4;
  end;
end;

{ Text read as 1 to MaxDigits hex digits of either case; False when it is anything else. }
function ParseHex(const Text: string; MaxDigits: Integer; var Value: Integer): Boolean;
var
  I, Digit: Integer;
begin
  Result := False;
  if (Length(Text) < 1) or (Length(Text) > MaxDigits) then
    Exit;
  Value := 0;
  for I := 1 to Length(Text) do
  begin
    case Text[I] of
      '0'..'9': Digit := Ord(Text[I]) - Ord('0');
      'A'..'F': Digit := Ord(Text[I]) - Ord('A') + 10;
      'a'..'f': Digit := Ord(Text[I]) - Ord('a') + 10;
    else
      Exit;
    end;
    Value := Value * 16 + Digit;
  end;
  Result := True;
end;

{ WriteLn's field widths right-align the numbers as printf's %5d, %3u and %7u do. }
procedure ListInterfaces;
var
  I: Integer;
  Entry: PHidDeviceEntry;
begin
  if not HID_DeviceInfo(@Table) then
  begin
    WriteLn('No HID interface is present.');
    Exit;
  end;
  WriteLn('Index  VID:PID    Version  In/Out/Feature  Buffers  Manufacturer / Product / Serial');
  for I := 0 to Table.Count - 1 do
  begin
    Entry := @Table.Entries[I];
    { An entry the library never filled: the interface could not be opened. }
    if Entry.Manufacturer = nil then
      WriteLn(I:5, '  (present, but could not be opened)')
    else
      WriteLn(I:5, '  ', Hex(Entry.VendorID, 4), ':', Hex(Entry.ProductID, 4), '  ',
        Hex(Entry.VersionNumber, 4), '     ', Entry.InputReportByteLength:3, '/',
        Entry.OutputReportByteLength:3, '/', Entry.FeatureReportByteLength:3, '     ',
        Entry.NumInputBuffers:7, '  "', Entry.Manufacturer, '" / "', Entry.Product, '" / "',
        Entry.SerialNumber, '"');
  end;
  WriteLn(Table.Count, ' interface(s) listed.');
end;

{ The exit code: 0 once the whole report went to the first device of that identity, of any
  version; 1 when there is none or it took less. }
function SendCommand: Integer;
var
  Device: THandle;
  Report: array[0..ReportLength - 1] of Byte;
  Identity: string;
begin
  Identity := Hex(VendorID, 4) + ':' + Hex(ProductID, 4);
  { Product before vendor, in every identity that Velmar.dll takes. }
  Device := 0;
  if HID_DeviceTest(ProductID, VendorID, VELMAR_ANY_VERSION, 0) then
    Device := HID_OpenDevice(ProductID, VendorID, VELMAR_ANY_VERSION, 0);
  if Device = 0 then
  begin
    WriteLn(Identity, ' is not present.');
    Result := 1;
    Exit;
  end;
  { Report ID 0, for a device without report IDs, then the command. }
  FillChar(Report, SizeOf(Report), 0);
  Report[1] := Command;
  if HID_WriteDevice(Device, @Report, SizeOf(Report)) = SizeOf(Report) then
  begin
    WriteLn('Sent command ', Hex(Command, 2), ' to ', Identity, '.');
    Result := 0;
  end
  else
  begin
    WriteLn('Command ', Hex(Command, 2), ' could not be sent to ', Identity, '.');
    Result := 1;
  end;
  HID_CloseDevice(Device);
end;

begin
  if (ParamCount <> 0) and ((ParamCount <> 3) or not ParseHex(ParamStr(1), 4, VendorID)
    or not ParseHex(ParamStr(2), 4, ProductID) or not ParseHex(ParamStr(3), 2, Command)) then
  begin
    WriteLn('Usage: hidlist [VID PID COMMAND], in hex, such as: hidlist 04D8 F6F1 42');
    Halt(2);
  end;
  ListInterfaces;
  if ParamCount = 3 then
    Halt(SendCommand);
end.

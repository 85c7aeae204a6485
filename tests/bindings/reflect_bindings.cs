// Prints what the C# compiler made of the bindings, as the runtime sees it: each P/Invoke
// method's import settings and parameters, and each record's packing and marshalled layout
// (for the architecture this runtime runs on). One JSON document on standard output.
//     mono reflect_bindings.exe BINDINGS.dll
using System;
using System.Collections.Generic;
using System.Linq;
using System.Reflection;
using System.Runtime.InteropServices;

static class ReflectBindings
{
    static string Quote(string text)
    {
        return "\"" + text.Replace("\\", "\\\\").Replace("\"", "\\\"") + "\"";
    }

    static string Object(IEnumerable<string> members)
    {
        return "{" + string.Join(", ", members) + "}";
    }

    static string Member(string name, string value)
    {
        return Quote(name) + ": " + value;
    }

    // How a parameter or result crosses: by its marshalled width, a pointer, or a BOOL.
    static string Passing(Type type, ICustomAttributeProvider provider)
    {
        var marshal = provider.GetCustomAttributes(typeof(MarshalAsAttribute), false)
                          .Cast<MarshalAsAttribute>().FirstOrDefault();
        if (type == typeof(bool))
            return marshal != null && (marshal.Value == UnmanagedType.I1 || marshal.Value == UnmanagedType.U1) ? "int1" : "bool32";
        if (type.IsArray && provider is FieldInfo)
            return "array " + (marshal != null ? marshal.SizeConst : 0) + " " + type.GetElementType().Name;
        if (type.IsByRef || type.IsArray || type == typeof(IntPtr))
            return "pointer";
        return "int" + Marshal.SizeOf(type);
    }

    static string Function(MethodInfo method)
    {
        var import = (DllImportAttribute)method.GetCustomAttributes(typeof(DllImportAttribute), false)[0];
        var parameters = method.GetParameters().Select(p => Object(new[] {
            Member("name", Quote(p.Name)),
            Member("passing", Quote(Passing(p.ParameterType, p)))
        }));
        return Member(method.Name, Object(new[] {
            Member("library", Quote(import.Value)),
            Member("entry", Quote(import.EntryPoint ?? method.Name)),
            Member("convention", Quote(import.CallingConvention.ToString())),
            Member("charset", Quote(import.CharSet.ToString())),
            Member("exact", import.ExactSpelling ? "true" : "false"),
            Member("result", Quote(Passing(method.ReturnType, method.ReturnParameter))),
            Member("parameters", "[" + string.Join(", ", parameters) + "]")
        }));
    }

    static string Record(Type type)
    {
        var fields = type.GetFields(BindingFlags.Public | BindingFlags.Instance).Select(f =>
            Member(f.Name, Object(new[] {
                Member("offset", Marshal.OffsetOf(type, f.Name).ToString()),
                Member("passing", Quote(Passing(f.FieldType, f)))
            })));
        return Member(type.Name, Object(new[] {
            Member("pack", type.StructLayoutAttribute.Pack.ToString()),
            Member("size", Marshal.SizeOf(type).ToString()),
            Member("fields", Object(fields))
        }));
    }

    static void Main(string[] arguments)
    {
        var assembly = Assembly.LoadFrom(arguments[0]);
        var types = assembly.GetTypes();
        var functions = types.SelectMany(t => t.GetMethods(BindingFlags.Public | BindingFlags.Static))
                            .Where(m => (m.Attributes & MethodAttributes.PinvokeImpl) != 0);
        var records = types.Where(t => t.IsValueType && !t.IsEnum);
        Console.WriteLine(Object(new[] {
            Member("pointer", IntPtr.Size.ToString()),
            Member("functions", Object(functions.Select(Function))),
            Member("records", Object(records.Select(Record)))
        }));
    }
}

#include "app/settings.h"

#include <cstdint>
#include <string>

#include "base/number.h"

namespace zuka {

namespace {

// (screen - window) div 2, truncated toward zero as the window places itself.
int Centred(int screen, int window) { return (screen - window) / 2; }

std::string ChkKey(int item) { return "chk" + FormatInt(item); }

}  // namespace

void LoadSettings(const IniFile& ini, Form& form, TScreenSize screen) {
    const Form first;

    // 1. Window position, kept on the screen.
    form.Left = ini.ReadInteger("Form", "Left", Centred(screen.width, kFormWidth));
    form.Top = ini.ReadInteger("Form", "Top", Centred(screen.height, kFormHeight));
    // Compared in 64 bits: a stored position near the largest int would overflow the sum.
    if (std::int64_t{form.Left} + kFormWidth > screen.width)
        form.Left = Centred(screen.width, kFormWidth);
    if (std::int64_t{form.Top} + kFormHeight > screen.height)
        form.Top = Centred(screen.height, kFormHeight);

    // 2. Place and day.
    form.Edit3 = ini.ReadString("Common", "ido1", first.Edit3);
    form.Edit5 = ini.ReadString("Common", "ido2", first.Edit5);
    form.Edit23 = ini.ReadString("Common", "ido3", first.Edit23);
    form.Edit12 = ini.ReadString("Common", "makita", first.Edit12);
    form.Edit4 = ini.ReadString("Common", "takasa", first.Edit4);
    form.Edit6 = ini.ReadString("Tokutei", "takasa", first.Edit6);
    form.Edit38 = ini.ReadString("Common", "takasa2", first.Edit38);
    SetRadio(form.RadioGroup1, ini.ReadInteger("Common", "kisetsu", first.RadioGroup1),
             kRadioGroup1Count);

    // 3. Time-of-day shadows.
    form.CheckBox11 = ini.ReadBool("Jikoku", "NotHoui", first.CheckBox11);
    form.Edit2 = ini.ReadString("Jikoku", "kaishi", first.Edit2);
    form.Edit7 = ini.ReadString("Jikoku", "owari", first.Edit7);
    form.Edit11 = ini.ReadString("Jikoku", "kankaku", first.Edit11);
    form.Edit43 = ini.ReadString("Jikoku", "keido", first.Edit43);
    form.Edit44 = ini.ReadString("Jikoku", "kinjisa", first.Edit44);

    // 4. Equal-time shadows; the key number is the CheckListBox1 item index.
    for (int i = 0; i < kToujiHourCount; ++i) {
        form.CheckListBox1[i] = ini.ReadBool("Touji", ChkKey(i), first.CheckListBox1[i]);
    }
    SetRadio(form.RadioGroup3, ini.ReadInteger("Touji", "kankaku", first.RadioGroup3),
             kRadioGroup3Count);
    SetRadio(form.RadioGroup5, ini.ReadInteger("Touji", "kankaku2", first.RadioGroup5),
             kRadioGroup5Count);
    SetRadio(form.RadioGroup6, ini.ReadInteger("Touji", "kankaku3", first.RadioGroup6),
             kRadioGroup6Count);
    SetUpDown5(form, ini.ReadInteger("Touji", "tyokusen", first.UpDown5));
    form.CheckBox8 = ini.ReadBool("Touji", "tyokuchk", first.CheckBox8);

    // 5. Wall shadows.
    form.CheckBox4 = ini.ReadBool("Hekimen", "senjou", first.CheckBox4);
    form.CheckBox12 = ini.ReadBool("Hekimen", "block", first.CheckBox12);

    // 6. Sky maps.
    form.Edit17 = ini.ReadString("Tenku", "Takasa", first.Edit17);
    SetRadio(form.RadioGroup2, ini.ReadInteger("Tenku", "Menseki", first.RadioGroup2),
             kRadioGroup2Count);
    SetRadio(form.RadioGroup4, form.RadioGroup2, kRadioGroup4Count);
    form.Edit15 = ini.ReadString("Tenku", "Hankei", first.Edit15);
    form.CheckBox3 = ini.ReadBool("Tenku", "Kyuseki", first.CheckBox3);
    form.Edit19 = ini.ReadString("Tenku", "Syakudo", first.Edit19);
    form.Edit20 = ini.ReadString("Tenku", "Moji", first.Edit20);
    form.CheckBox5 = ini.ReadBool("Tenku", "tateiti", first.CheckBox5);
    form.Edit21 = ini.ReadString("Tenku", "HankeiB", first.Edit21);
    form.CheckBox9 = ini.ReadBool("Tenku", "NextRow", first.CheckBox9);
    form.Edit24 = ini.ReadString("Tenku", "MemoriB", first.Edit24);
    form.Edit25 = ini.ReadString("Tenku", "HatchB", first.Edit25);
    form.Edit13 = ini.ReadString("Tenku", "Memori", first.Edit13);
    form.Edit18 = ini.ReadString("Tenku", "Hatch", first.Edit18);
    form.CheckBox6 = ini.ReadBool("Tenku", "KyusekiB", first.CheckBox6);
    form.Edit22 = ini.ReadString("Tenku", "MojiB", first.Edit22);
    form.CheckBox7 = ini.ReadBool("Tenku", "tateitiB", first.CheckBox7);

    // 7. Layer names, exactly as typed.
    form.Edit27 = ini.ReadString("Layer", "Jikoku", first.Edit27);
    form.Edit28 = ini.ReadString("Layer", "Touji", first.Edit28);
    form.Edit31 = ini.ReadString("Layer", "Hjikoku", first.Edit31);
    form.Edit30 = ini.ReadString("Layer", "Hwaku", first.Edit30);
    form.Edit29 = ini.ReadString("Layer", "Htouji", first.Edit29);
    form.Edit32 = ini.ReadString("Layer", "Nini", first.Edit32);
    form.Edit33 = ini.ReadString("Layer", "Tenku", first.Edit33);
    form.Edit34 = ini.ReadString("Layer", "Tmemori", first.Edit34);
    form.Edit35 = ini.ReadString("Layer", "Thatch", first.Edit35);
    form.Edit36 = ini.ReadString("Layer", "Tsansya", first.Edit36);
    form.Edit37 = ini.ReadString("Layer", "Ttateiti", first.Edit37);

    // 8. Batch pitches, ratio table, detection factor, map rotation.
    form.Edit8 = ini.ReadString("Tenku", "IkkatsuA", first.Edit8);
    form.Edit40 = ini.ReadString("Tenku", "IkkatsuB", first.Edit40);
    form.CheckBox14 = ini.ReadBool("Bairitsu", "useDMS", first.CheckBox14);
    form.CheckBox15 = ini.ReadBool("Bairitsu", "wdigit", first.CheckBox15);
    form.Edit39 = ini.ReadString("Tenku", "Keisuu", first.Edit39);
    form.CheckBox10 = ini.ReadBool("Tenku", "Kaiten", first.CheckBox10);

    // 9. Target CAD.
    form.TargetProgID = ini.ReadString("Target", "ProgID", form.TargetProgID);

    // 10. Layers of the calculation record and the regulation check.
    form.Edit50 = ini.ReadString("Layer", "Info", first.Edit50);
    form.Edit51 = ini.ReadString("Layer", "Kisei", first.Edit51);

    // 11. The sky-factor verdict.
    form.SkyCheckZone = ini.ReadString("SkyCheck", "zone", first.SkyCheckZone);
    form.SkyCheckFar = ini.ReadString("SkyCheck", "far", first.SkyCheckFar);
    form.SkyCheckKinds = ini.ReadString("SkyCheck", "kinds", first.SkyCheckKinds);
    form.SkyCheckRoads = ini.ReadString("SkyCheck", "roads", first.SkyCheckRoads);
    form.SkyCheckRoadLevel = ini.ReadString("SkyCheck", "roadLevel", first.SkyCheckRoadLevel);
    form.SkyCheckMargin = ini.ReadString("SkyCheck", "margin", first.SkyCheckMargin);
    form.SkyCheckCorners = ini.ReadString("SkyCheck", "corners", first.SkyCheckCorners);
}

IniFile SaveSettings(const Form& form) {
    IniFile ini;
    ini.WriteInteger("Form", "Left", form.Left);
    ini.WriteInteger("Form", "Top", form.Top);
    ini.WriteString("Common", "ido1", form.Edit3);
    ini.WriteString("Common", "ido2", form.Edit5);
    ini.WriteString("Common", "ido3", form.Edit23);
    ini.WriteString("Common", "makita", form.Edit12);
    ini.WriteString("Common", "takasa", form.Edit4);
    ini.WriteString("Tokutei", "takasa", form.Edit6);
    ini.WriteString("Common", "takasa2", form.Edit38);
    ini.WriteInteger("Common", "kisetsu", form.RadioGroup1);
    ini.WriteBool("Jikoku", "NotHoui", form.CheckBox11);
    ini.WriteString("Jikoku", "kaishi", form.Edit2);
    ini.WriteString("Jikoku", "owari", form.Edit7);
    ini.WriteString("Jikoku", "kankaku", form.Edit11);
    ini.WriteString("Jikoku", "keido", form.Edit43);
    ini.WriteString("Jikoku", "kinjisa", form.Edit44);
    for (int i = 0; i < kToujiHourCount; ++i) {
        ini.WriteBool("Touji", ChkKey(i), form.CheckListBox1[i]);
    }
    ini.WriteInteger("Touji", "kankaku", form.RadioGroup3);
    ini.WriteInteger("Touji", "kankaku2", form.RadioGroup5);
    ini.WriteInteger("Touji", "kankaku3", form.RadioGroup6);
    ini.WriteInteger("Touji", "tyokusen", form.UpDown5);
    ini.WriteBool("Touji", "tyokuchk", form.CheckBox8);
    ini.WriteInteger("Nini", "kankaku", form.RadioGroup3);
    ini.WriteBool("Hekimen", "senjou", form.CheckBox4);
    ini.WriteBool("Hekimen", "block", form.CheckBox12);
    ini.WriteString("Tenku", "Takasa", form.Edit17);
    ini.WriteInteger("Tenku", "Menseki", form.RadioGroup2);
    ini.WriteString("Tenku", "Hankei", form.Edit15);
    ini.WriteBool("Tenku", "Kyuseki", form.CheckBox3);
    ini.WriteString("Tenku", "Syakudo", form.Edit19);
    ini.WriteString("Tenku", "Moji", form.Edit20);
    ini.WriteBool("Tenku", "tateiti", form.CheckBox5);
    ini.WriteString("Tenku", "HankeiB", form.Edit21);
    ini.WriteBool("Tenku", "KyusekiB", form.CheckBox6);
    ini.WriteString("Tenku", "MojiB", form.Edit22);
    ini.WriteBool("Tenku", "tateitiB", form.CheckBox7);
    ini.WriteBool("Tenku", "NextRow", form.CheckBox9);
    ini.WriteString("Tenku", "MemoriB", form.Edit24);
    ini.WriteString("Tenku", "HatchB", form.Edit25);
    ini.WriteString("Tenku", "Memori", form.Edit13);
    ini.WriteString("Tenku", "Hatch", form.Edit18);
    ini.WriteString("Layer", "Jikoku", form.Edit27);
    ini.WriteString("Layer", "Touji", form.Edit28);
    ini.WriteString("Layer", "Hjikoku", form.Edit31);
    ini.WriteString("Layer", "Hwaku", form.Edit30);
    ini.WriteString("Layer", "Htouji", form.Edit29);
    ini.WriteString("Layer", "Nini", form.Edit32);
    ini.WriteString("Layer", "Tenku", form.Edit33);
    ini.WriteString("Layer", "Tmemori", form.Edit34);
    ini.WriteString("Layer", "Thatch", form.Edit35);
    ini.WriteString("Layer", "Tsansya", form.Edit36);
    ini.WriteString("Layer", "Ttateiti", form.Edit37);
    ini.WriteString("Tenku", "IkkatsuA", form.Edit8);
    ini.WriteString("Tenku", "IkkatsuB", form.Edit40);
    ini.WriteBool("Tenku", "Kaiten", form.CheckBox10);
    ini.WriteString("Target", "ProgID", form.TargetProgID);
    ini.WriteBool("Bairitsu", "useDMS", form.CheckBox14);
    ini.WriteBool("Bairitsu", "wdigit", form.CheckBox15);
    ini.WriteString("Tenku", "Keisuu", form.Edit39);
    ini.WriteString("Layer", "Info", form.Edit50);
    ini.WriteString("Layer", "Kisei", form.Edit51);
    ini.WriteString("SkyCheck", "zone", form.SkyCheckZone);
    ini.WriteString("SkyCheck", "far", form.SkyCheckFar);
    ini.WriteString("SkyCheck", "kinds", form.SkyCheckKinds);
    ini.WriteString("SkyCheck", "roads", form.SkyCheckRoads);
    ini.WriteString("SkyCheck", "roadLevel", form.SkyCheckRoadLevel);
    ini.WriteString("SkyCheck", "margin", form.SkyCheckMargin);
    ini.WriteString("SkyCheck", "corners", form.SkyCheckCorners);
    return ini;
}

}  // namespace zuka

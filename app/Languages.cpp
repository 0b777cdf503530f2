#include "app/Languages.h"

namespace korvane {

namespace {

using Texts = std::array<std::string_view, kLanguageCount>;

// One row per message, in the order of Msg; columns in the order of Lang.
constexpr Texts kCatalogue[] = {
    // StatusCollecting
    {"Collecting necessary information ...........", "Collecte des informations nécessaires ...........",
     "Recopilando la información necesaria ...........", "Сбор необходимой информации ...........",
     "正在收集必要的信息 ...........", "正在收集必要的信息 ..........."},
    // StatusSorting
    {"Sorting ....", "Tri en cours ....", "Ordenando ....", "Сортировка ....", "正在排序 ....", "正在排序 ...."},
    // DevicesFoundPrefix
    {"", "", "", "Найдено устройств: ", "共找到 ", "共找到 "},
    // DevicesFoundSuffix
    {" devices are found.", " périphériques trouvés.", " dispositivos encontrados.", ".", " 个设备。", " 個設備。"},
    // CollectAllHelp
    {"The above shows all the drivers currently on your system.\n"
     "Drivers produced by Microsoft Corporation are shipped and automatically\n"
     "installed and configured by Microsoft Windows, therefore you don't need\n"
     "to backup them, click 'Fast Collect' button to display only those files\n"
     "that is not shipped with Microsoft Windows. Select a driver you want to\n"
     "backup and click 'Backup' button to begin.\n"
     "Click what you want while holding the 'Ctrl' key for multiple selection.",
     "La liste ci-dessus montre tous les pilotes installés sur votre système.\n"
     "Les pilotes produits par Microsoft Corporation sont fournis, installés\n"
     "et configurés automatiquement par Microsoft Windows : vous n'avez donc\n"
     "pas besoin de les sauvegarder. Cliquez sur 'Pilotes hors-Microsoft'\n"
     "pour n'afficher que les pilotes qui ne sont pas fournis avec Windows.\n"
     "Sélectionnez le pilote à sauvegarder et cliquez sur 'Sauvegarder la\n"
     "sélection' pour commencer.\n"
     "Maintenez la touche 'Ctrl' enfoncée pour sélectionner plusieurs pilotes.",
     "Arriba se muestran todos los drivers instalados en su sistema.\n"
     "Los drivers de Microsoft Corporation vienen con Microsoft Windows, que los\n"
     "instala y configura automáticamente, así que no necesita guardarlos.\n"
     "Pulse 'Recolección Rápida' para ver solo los drivers que no vienen con\n"
     "Microsoft Windows. Seleccione el driver que quiera guardar y pulse\n"
     "'Empaquetar' para empezar.\n"
     "Mantenga pulsada la tecla 'Ctrl' para seleccionar varios drivers.",
     "Выше показаны все драйверы, установленные в вашей системе.\n"
     "Драйверы Microsoft Corporation поставляются вместе с Microsoft Windows и\n"
     "устанавливаются автоматически, поэтому сохранять их не нужно. Нажмите\n"
     "'Быстрый поиск', чтобы показать только драйверы не из состава Windows.\n"
     "Выберите драйвер и нажмите 'Сохранить', чтобы начать.\n"
     "Удерживайте клавишу 'Ctrl', чтобы выбрать несколько драйверов.",
     "上面列出了您系统中当前安装的全部驱动程序。\n"
     "微软公司出品的驱动程序随 Microsoft Windows 提供，并由 Windows 自动安装和配置，\n"
     "因此不需要备份。点击“快速收集”按钮，只显示 Windows 不自带的驱动程序。\n"
     "选择要备份的驱动程序，然后点击“备份驱动”按钮开始。\n"
     "按住 Ctrl 键再点击，可以同时选择多个驱动程序。",
     "上面列出了您系統中當前安裝的全部驅動程序。\n"
     "微軟公司出品的驅動程序隨 Microsoft Windows 提供，並由 Windows 自動安裝和配置，\n"
     "因此不需要備份。點擊「快速收集」按鈕，只顯示 Windows 不自帶的驅動程序。\n"
     "選擇要備份的驅動程序，然後點擊「備份驅動」按鈕開始。\n"
     "按住 Ctrl 鍵再點擊，可以同時選擇多個驅動程序。"},
    // FastCollectHelp
    {"The above shows the drivers you need to backup now.\n"
     "When you re-install or upgrade your Windows system, you will need them.\n"
     "Click what you want while holding the 'Ctrl' key for multiple selection.",
     "La liste ci-dessus montre les pilotes à sauvegarder dès maintenant.\n"
     "Vous en aurez besoin quand vous réinstallerez ou mettrez à jour Windows.\n"
     "Maintenez la touche 'Ctrl' enfoncée pour sélectionner plusieurs pilotes.",
     "Arriba se muestran los drivers que debe guardar ahora.\n"
     "Los necesitará cuando reinstale o actualice su sistema Windows.\n"
     "Mantenga pulsada la tecla 'Ctrl' para seleccionar varios drivers.",
     "Выше показаны драйверы, которые нужно сохранить сейчас.\n"
     "Они понадобятся вам при переустановке или обновлении Windows.\n"
     "Удерживайте клавишу 'Ctrl', чтобы выбрать несколько драйверов.",
     "上面列出了您现在需要备份的驱动程序。\n"
     "重新安装或升级 Windows 系统时，您将需要它们。\n"
     "按住 Ctrl 键再点击，可以同时选择多个驱动程序。",
     "上面列出了您現在需要備份的驅動程序。\n"
     "重新安裝或升級 Windows 系統時，您將需要它們。\n"
     "按住 Ctrl 鍵再點擊，可以同時選擇多個驅動程序。"},
    // SysOperatingSystem
    {"Operating System: ", "Système d'exploitation : ", "Sistema operativo: ", "Операционная система: ", "操作系统：",
     "操作系統："},
    // SysServicePack
    {"Service Packed: ", "Service Pack : ", "Service Pack: ", "Пакет обновления: ", "服务包：", "服務包："},
    // SysBuild
    {"Build Numbered: ", "Numéro de build : ", "Número de compilación: ", "Номер сборки: ", "版本号：", "版本號："},
    // SysLanguage
    {"Local Language: ", "Langue du système : ", "Idioma del sistema: ", "Язык системы: ", "本地语言：", "本地語言："},
    // SysComputer
    {"Computer Name: ", "Nom de l'ordinateur : ", "Nombre del equipo: ", "Имя компьютера: ", "计算机名：",
     "計算機名："},
    // SysDirectory
    {"System Directory: ", "Dossier système : ", "Carpeta del sistema: ", "Системная папка: ", "系统目录：",
     "系統目錄："},
    // SysUser
    {"Current User: ", "Utilisateur actuel : ", "Usuario actual: ", "Текущий пользователь: ", "当前用户：",
     "當前用戶："},
    // UnableToWrite
    {"Unable to write to %s", "Impossible d'écrire dans %s", "No se puede escribir en %s", "Не удалось записать в %s",
     "无法写入 %s", "無法寫入 %s"},
};
static_assert(std::size(kCatalogue) == static_cast<size_t>(Msg::Count), "one catalogue row per message");

}  // namespace

std::optional<Lang> languageOf(std::string_view name) {
  for (size_t k = 0; k < kLanguageCount; ++k)
    if (kLanguageNames[k] == name) return static_cast<Lang>(k);
  return std::nullopt;
}

std::string_view languageName(Lang lang) { return kLanguageNames[static_cast<size_t>(lang)]; }

unsigned languageCodePage(Lang lang) {
  switch (lang) {
    case Lang::Russian: return 1251;
    case Lang::Chinese: return 936;
    case Lang::ChineseTW: return 950;
    default: return 1252;
  }
}

std::string_view message(Msg msg, Lang lang) {
  return kCatalogue[static_cast<size_t>(msg)][static_cast<size_t>(lang)];
}

std::optional<std::string> message(Msg msg, std::string_view name) {
  const auto lang = languageOf(name);
  if (!lang) return std::nullopt;
  return std::string(message(msg, *lang));
}

}  // namespace korvane

#include "zelko/nvme/id_ctrl_bits.h"

#include "zelko/nvme/id_ctrl_report.h"

namespace zelko {

namespace {

constexpr uint32_t v13 = k_nvme_rev_1_3;
constexpr uint32_t v14 = k_nvme_rev_1_4;
constexpr uint32_t v20 = k_nvme_rev_2_0;

// clang-format off
constexpr id_bit cmic[] = {
    {3, v14, "Asymmetric Namespace Access Reporting"},
    {2, 0, "The controller is associated with an SR-IOV Virtual Function",
           "The controller is associated with a PCI Function or a Fabrics connection"},
    {1, 0, "The NVM subsystem may contain two or more controllers",
           "The NVM subsystem contains only a single controller"},
    {0, 0, "The NVM subsystem may contain more than one NVM subsystem port",
           "The NVM subsystem contains only a single NVM subsystem port"},
};

constexpr id_bit oaes[] = {
    {31, v20, "Discovery Log Change Notification"},
    {27, v20, "Zone Descriptor Changed Notices"},
    {15, v20, "Normal NVM Subsystem Shutdown event"},
    {14, v14, "Endurance Group Event Aggregate Log Page Change Notices"},
    {13, v14, "LBA Status Information Notices"},
    {12, v14, "Predictable Latency Event Aggregate Log Change Notices"},
    {11, v14, "Asymmetric Namespace Access Change Notices"},
    {9, 0, "Firmware Activation Notices"},
    {8, 0, "Namespace Attribute Notices and the Changed Namespace List log page"},
};

constexpr id_bit ctratt[] = {
    {15, v20, "extended Protection Information formats"},
    {14, v20, "the Delete NVM Set operation"},
    {13, v20, "the Delete Endurance Group operation"},
    {12, v20, "Variable Capacity Management"},
    {11, v20, "Fixed Capacity Management"},
    {10, v20, "multiple domains"},
    {9, v14, "reporting of a UUID List"},
    {8, v14, "SQ Associations"},
    {7, v14, "reporting of Namespace Granularity"},
    {6, v14, "The Keep Alive Timer is restarted by any Admin or I/O command",
             "The Keep Alive Timer is restarted only by a Keep Alive command"},
    {5, v14, "Predictable Latency Mode"},
    {4, v14, "Endurance Groups"},
    {3, v14, "Read Recovery Levels"},
    {2, v14, "NVM Sets"},
    {1, v14, "host control of whether the controller may exceed the power of a non-operational power state "
             "for controller-initiated background operations"},
    {0, 0, "a 128-bit Host Identifier"},
};

constexpr id_bit nvmsr[] = {
    {1, 0, "The NVM subsystem is part of an NVMe Enclosure", "The NVM subsystem is not part of an NVMe Enclosure"},
    {0, 0, "The NVM subsystem is part of an NVMe Storage Device",
           "The NVM subsystem is not part of an NVMe Storage Device"},
};

constexpr id_bit mec[] = {
    {1, 0, "The NVM subsystem contains a Management Endpoint on a PCIe port",
           "The NVM subsystem does not contain a Management Endpoint on a PCIe port"},
    {0, 0, "The NVM subsystem contains a Management Endpoint on an SMBus/I2C port",
           "The NVM subsystem does not contain a Management Endpoint on an SMBus/I2C port"},
};

constexpr id_bit oacs[] = {
    {10, v20, "the Command and Feature Lockdown capability"},
    {9, v14, "the Get LBA Status capability"},
    {8, v13, "the Doorbell Buffer Config command"},
    {7, v13, "the Virtualization Management command"},
    {6, v13, "the NVMe-MI Send and NVMe-MI Receive commands"},
    {5, v13, "Directives"},
    {4, v13, "the Device Self-test command"},
    {3, 0, "the Namespace Management and Namespace Attachment commands"},
    {2, 0, "the Firmware Commit and Firmware Image Download commands"},
    {1, 0, "the Format NVM command"},
    {0, 0, "the Security Send and Security Receive commands"},
};

constexpr id_bit frmw_high[] = {
    {5, v20, "detecting overlapping firmware / boot partition image update command sequences"},
    {4, 0, "firmware activation without a reset"},
};

constexpr id_bit frmw_low[] = {
    {0, 0, "The first firmware slot (slot 1) is read only", "The first firmware slot (slot 1) is read/write"},
};

constexpr id_bit lpa[] = {
    {6, v20, "Data Area 4 for the Telemetry Host-Initiated and Telemetry Controller-Initiated log pages"},
    {5, v20, "reporting the scope of each command in the Commands Supported and Effects log page"},
    {4, v14, "the Persistent Event log page"},
    {3, v13, "the Telemetry Host-Initiated and Telemetry Controller-Initiated log pages and Telemetry Log Notices"},
    {2, 0, "extended data for Get Log Page"},
    {1, 0, "the Commands Supported and Effects log page"},
    {0, 0, "the SMART / Health information log page on a per namespace basis"},
};

constexpr id_bit avscc[] = {
    {0, 0, "All Admin Vendor Specific Commands use the standard command format",
           "The format of all Admin Vendor Specific Commands is vendor specific"},
};

constexpr id_bit apsta[] = {
    {0, 0, "autonomous power state transitions"},
};

constexpr id_bit hctma[] = {
    {0, 0, "host controlled thermal management"},
};

constexpr id_bit anacap[] = {
    {7, 0, "A non-zero ANAGRPID field in the Namespace Management command is supported",
           "A non-zero ANAGRPID field in the Namespace Management command is not supported"},
    {6, 0, "The ANAGRPID field does not change while the namespace is attached to any controller",
           "The ANAGRPID field may change while the namespace is attached to any controller"},
    {4, 0, "Reports ANA Change state", "Does not report ANA Change state"},
    {3, 0, "Reports ANA Persistent Loss state", "Does not report ANA Persistent Loss state"},
    {2, 0, "Reports ANA Inaccessible state", "Does not report ANA Inaccessible state"},
    {1, 0, "Reports ANA Non-Optimized state", "Does not report ANA Non-Optimized state"},
    {0, 0, "Reports ANA Optimized state", "Does not report ANA Optimized state"},
};

constexpr id_bit oncs[] = {
    {8, v20, "the Copy command"},
    {7, v14, "the Verify command"},
    {6, v13, "the Timestamp feature"},
    {5, 0, "reservations"},
    {4, 0, "non-zero Save fields in Set Features and non-zero Select fields in Get Features"},
    {3, 0, "the Write Zeroes command"},
    {2, 0, "the Dataset Management command"},
    {1, 0, "the Write Uncorrectable command"},
    {0, 0, "the Compare command"},
};

constexpr id_bit fuses[] = {
    {0, 0, "the Compare and Write fused operation"},
};

constexpr id_bit fna[] = {
    {3, v20, "Format NVM with NSID FFFFFFFFh is not supported", "Format NVM with NSID FFFFFFFFh is supported"},
    {2, 0, "cryptographic erase as part of the secure erase functionality"},
    {1, 0, "An erase as part of a format applies to all namespaces",
           "An erase as part of a format applies to a particular namespace"},
    {0, 0, "A format applies to all namespaces", "A format applies to a particular namespace"},
};

constexpr id_bit icsvscc[] = {
    {0, 0, "All NVM Vendor Specific Commands use the standard command format",
           "The format of all NVM Vendor Specific Commands is vendor specific"},
};

constexpr id_bit nwpc[] = {
    {2, 0, "the Permanent Write Protect state"},
    {1, 0, "the Write Protect Until Power Cycle state"},
    {0, 0, "Supports the No Write Protect and Write Protect namespace write protection states",
           "Does not support namespace write protection"},
};

constexpr id_bit ocfs[] = {
    {0, 0, "Copy Format 0h"},
};

constexpr id_bit fcatt[] = {
    {0, 0, "The controller uses a static controller model", "The controller uses a dynamic controller model"},
};

constexpr id_bit ofcs[] = {
    {0, 0, "the Disconnect command"},
};

constexpr id_bit sanicap_ops[] = {
    {2, 0, "the Overwrite sanitize operation"},
    {1, 0, "the Block Erase sanitize operation"},
    {0, 0, "the Crypto Erase sanitize operation"},
};

constexpr id_bit sgls_high[] = {
    {21, v14, "the Transport SGL Data Block descriptor"},
    {20, 0, "the Address field of SGL Data Block descriptors as an offset"},
    {19, 0, "MPTR containing the address of a single SGL descriptor"},
    {18, 0, "commands with a data or metadata SGL longer than the data to be transferred"},
    {17, 0, "a byte aligned contiguous physical buffer of metadata"},
    {16, 0, "the SGL Bit Bucket descriptor"},
};

constexpr id_bit sgls_keyed[] = {
    {2, 0, "the Keyed SGL Data Block descriptor"},
};
// clang-format on

}  // namespace

const std::span<const id_bit> k_cmic_bits = cmic;
const std::span<const id_bit> k_oaes_bits = oaes;
const std::span<const id_bit> k_ctratt_bits = ctratt;
const std::span<const id_bit> k_nvmsr_bits = nvmsr;
const std::span<const id_bit> k_mec_bits = mec;
const std::span<const id_bit> k_oacs_bits = oacs;
const std::span<const id_bit> k_frmw_high_bits = frmw_high;
const std::span<const id_bit> k_frmw_low_bits = frmw_low;
const std::span<const id_bit> k_lpa_bits = lpa;
const std::span<const id_bit> k_avscc_bits = avscc;
const std::span<const id_bit> k_apsta_bits = apsta;
const std::span<const id_bit> k_hctma_bits = hctma;
const std::span<const id_bit> k_anacap_bits = anacap;
const std::span<const id_bit> k_oncs_bits = oncs;
const std::span<const id_bit> k_fuses_bits = fuses;
const std::span<const id_bit> k_fna_bits = fna;
const std::span<const id_bit> k_icsvscc_bits = icsvscc;
const std::span<const id_bit> k_nwpc_bits = nwpc;
const std::span<const id_bit> k_ocfs_bits = ocfs;
const std::span<const id_bit> k_fcatt_bits = fcatt;
const std::span<const id_bit> k_ofcs_bits = ofcs;
const std::span<const id_bit> k_sanicap_op_bits = sanicap_ops;
const std::span<const id_bit> k_sgls_high_bits = sgls_high;
const std::span<const id_bit> k_sgls_keyed_bits = sgls_keyed;

}  // namespace zelko
